#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace numtrail::test {

struct StandInRequest {
    QString path;                          // without the query
    QString query;                         // after '?', as sent
    QMap<QByteArray, QByteArray> headers;  // names in lower case
};

struct StandInResponse {
    enum class Behaviour {
        Normal,
        NeverAnswer,   // accepts the request and never writes anything
        ResetMidBody,  // sends the headers and half the body, then resets the connection
        EndlessBody,   // sends the headers and then a byte every 50 ms, for ever
    };
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;  // e.g. {"Content-Type", "text/plain"}
    QByteArray body;
    int delay_ms = 0;  // before the answer starts
    Behaviour behaviour = Behaviour::Normal;
};

// A small HTTP server on 127.0.0.1 with a port the system picks. It runs on the test's
// own event loop, which GetBody keeps turning while it waits. Paths without a route get
// 404 with an empty body.
class StandInServer : public QObject {
  public:
    StandInServer();
    ~StandInServer() override;

    QString BaseUrl() const;  // "http://127.0.0.1:PORT"
    void Route(const QString& path, StandInResponse response);
    void Route(const QString& path, std::function<StandInResponse(const StandInRequest&)> handler);
    const QList<StandInRequest>& Requests() const { return requests_; }

  private:
    void OnConnection();
    void OnReadable(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, const StandInResponse& response);

    QTcpServer* server_;
    QMap<QString, std::function<StandInResponse(const StandInRequest&)>> routes_;
    QList<StandInRequest> requests_;
    QMap<QTcpSocket*, QByteArray> pending_;
};

}  // namespace numtrail::test
