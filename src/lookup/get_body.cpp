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
    const attribution::DeclaredCharset charset = attribution::CharsetOf(content_type.toStdString());
    switch (charset.kind) {
        case attribution::DeclaredCharset::Kind::CodePage936:
            return FromAnsi(body);
        case attribution::DeclaredCharset::Kind::Other: {
            QStringDecoder decoder(charset.name.c_str());
            if (decoder.isValid()) return decoder.decode(body);
            break;
        }
        case attribution::DeclaredCharset::Kind::Utf8:
            break;
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
    request.setRawHeader(attribution::kQueryHeader, attribution::kQueryHeaderValue);
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
