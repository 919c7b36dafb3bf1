#include "support/stand_in_server.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace numtrail::test {

StandInServer::StandInServer() : server_(new QTcpServer(this)) {
    server_->listen(QHostAddress::LocalHost, 0);
    connect(server_, &QTcpServer::newConnection, this, &StandInServer::OnConnection);
}

StandInServer::~StandInServer() = default;

QString StandInServer::BaseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_->serverPort());
}

void StandInServer::Route(const QString& path, StandInResponse response) {
    routes_[path] = [response](const StandInRequest&) { return response; };
}

void StandInServer::Route(const QString& path,
                          std::function<StandInResponse(const StandInRequest&)> handler) {
    routes_[path] = std::move(handler);
}

void StandInServer::OnConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            pending_.remove(socket);
            socket->deleteLater();
        });
    }
}

void StandInServer::OnReadable(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();

    StandInRequest request;
    const QList<QByteArray> request_line = lines.value(0).trimmed().split(' ');
    const QByteArray target = request_line.value(1);
    const qsizetype q = target.indexOf('?');
    request.path = QString::fromUtf8(q < 0 ? target : target.left(q));
    request.query = q < 0 ? QString() : QString::fromUtf8(target.mid(q + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers[lines[i].left(colon).trimmed().toLower()] =
                lines[i].mid(colon + 1).trimmed();
    }
    requests_.append(request);

    const auto route = routes_.constFind(request.path);
    const StandInResponse response =
        route == routes_.constEnd() ? StandInResponse{404, {}, {}, 0, {}} : (*route)(request);
    if (response.behaviour == StandInResponse::Behaviour::NeverAnswer) return;
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(response.delay_ms, this, [this, guarded, response] {
        if (guarded) Answer(guarded, response);
    });
}

void StandInServer::Answer(QTcpSocket* socket, const StandInResponse& response) {
    const bool endless = response.behaviour == StandInResponse::Behaviour::EndlessBody;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Stand-in\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head +=
        "Content-Length: " + QByteArray::number(endless ? qint64(1) << 40 : response.body.size()) +
        "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    switch (response.behaviour) {
        case StandInResponse::Behaviour::ResetMidBody:
            socket->write(response.body.left(response.body.size() / 2));
            socket->flush();
            socket->abort();
            return;
        case StandInResponse::Behaviour::EndlessBody: {
            auto* drip = new QTimer(socket);
            connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            drip->start(50);
            return;
        }
        default:
            socket->write(response.body);
            socket->disconnectFromHost();
    }
}

}  // namespace numtrail::test
