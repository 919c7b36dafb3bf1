#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

#include "attribution/protocol.h"

class QNetworkAccessManager;

namespace numtrail {

struct FetchOptions {
    int timeout_ms = 30000;  // the whole fetch, connection to last byte
    qint64 max_body_bytes = attribution::kMaxAnswerBytes;
};

// A fetch that failed: no connection, a reset, a time-out, a body over the cap.
class FetchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One HTTP GET with a fresh request and the protocol's no-cache header. The URL is
// used as passed; the status code is not looked at (an error page's body is a body).
// The body is decoded in the charset its Content-Type declares.
//
// The wait runs the event loop, so window events, timer ticks and even another GetBody
// run inside it; a nested fetch completes before the outer one returns.
//
// Each call makes its own request and reply. Through `manager`, the only thing one call leaves
// to the next is an open connection to the same server (HTTP keep-alive), which spares a
// connection and a network thread per call; no cookie is stored or sent and nothing is cached,
// so the request and its answer are the same as with a manager of its own.
QString GetBody(QNetworkAccessManager& manager, const QString& url,
                const FetchOptions& options = {});
// The same with a manager made for this call alone.
QString GetBody(const QString& url, const FetchOptions& options = {});

// Decodes a body by the charset its Content-Type declares (see attribution::CharsetOf): code
// page 936, another charset Qt knows, or else UTF-8.
QString DecodeBody(const QByteArray& body, const QByteArray& content_type);

}  // namespace numtrail
