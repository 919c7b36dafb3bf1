#include "lookup/get_body.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include "platform/qstring_bytes.h"

namespace numtrail {
namespace {

QByteArray CharsetOf(const QByteArray& content_type) {
    const QList<QByteArray> parts = content_type.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray param = parts[i].trimmed();
        const qsizetype eq = param.indexOf('=');
        if (eq < 0 || param.left(eq).trimmed().toLower() != "charset") continue;
        QByteArray value = param.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.mid(1, value.size() - 2);
        return value.trimmed().toLower();
    }
    return {};
}

bool IsCodePage936(const QByteArray& charset) {
    return charset == "gbk" || charset == "gb2312" || charset == "cp936" ||
           charset == "windows-936" || charset == "x-gbk" || charset == "ms936" ||
           charset == "euc-cn" || charset == "csgb2312";
}

// The errors Qt derives from an HTTP status of 400 and above: the answer came in whole and
// its body is the result (a service's refusal page may come with 400 or 418). Every other
// error is a fault of the transport and the body, if any, is not to be trusted.
bool IsStatusOnlyError(QNetworkReply::NetworkError error) {
    return error == QNetworkReply::ProtocolInvalidOperationError ||     // 400, 418
           error == QNetworkReply::ProxyAuthenticationRequiredError ||  // 407
           (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

}  // namespace

QString DecodeBody(const QByteArray& body, const QByteArray& content_type) {
    const QByteArray charset = CharsetOf(content_type);
    if (IsCodePage936(charset)) return FromAnsi(body);
    if (!charset.isEmpty() && charset != "utf-8" && charset != "utf8") {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) return decoder.decode(body);
    }
    return QString::fromUtf8(body);
}

QString GetBody(const QString& url, const FetchOptions& options) {
    QNetworkAccessManager manager;
    return GetBody(manager, url, options);
}

QString GetBody(QNetworkAccessManager& manager, const QString& url, const FetchOptions& options) {
    const QUrl target(url);
    if (!target.isValid() || target.scheme().isEmpty())
        throw FetchError("malformed address: " + url.toStdString());

    QNetworkRequest request(target);
    request.setRawHeader("If-Modified-Since", "0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    // A shared manager's cookie jar stays empty and unread: every call asks as a stranger.
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);

    QNetworkReply* reply = manager.get(request);
    QByteArray body;
    bool too_large = false;
    bool timed_out = false;
    // The cap holds for every piece, the last one read after the reply finished included.
    const auto take = [&] {
        body += reply->readAll();
        if (body.size() > options.max_body_bytes) too_large = true;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        take();
        if (too_large) reply->abort();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        timed_out = true;
        reply->abort();
    });
    // A handler that runs during the wait may hold its own loop (a message box) past the
    // deadline; a reply that has finished by then is complete and must not be thrown away.
    QObject::connect(reply, &QNetworkReply::finished, &deadline, &QTimer::stop);
    deadline.start(options.timeout_ms);

    // Event-driven wait: a local event loop sleeps until something happens and runs the
    // window's handlers meanwhile. A fetch started by such a handler runs its own loop
    // inside this one and returns first. (A bare processEvents(WaitForMoreEvents) loop can
    // miss the reply's final queued notification and sleep for ever.)
    if (!reply->isFinished()) {
        QEventLoop wait;
        QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        wait.exec();
    }
    deadline.stop();

    if (!too_large && !timed_out) take();
    const QNetworkReply::NetworkError error = reply->error();
    const bool has_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const QByteArray content_type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QString error_text = reply->errorString();
    delete reply;

    if (too_large) throw FetchError("answer larger than the limit");
    if (timed_out) throw FetchError("no complete answer in time");
    if (error != QNetworkReply::NoError && !(has_status && IsStatusOnlyError(error)))
        throw FetchError(error_text.toStdString());
    return DecodeBody(body, content_type);
}

}  // namespace numtrail
