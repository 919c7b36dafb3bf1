#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace numtrail {

// Runs an action at most once in an interval: a request after a quiet interval runs it at
// once, requests within the interval that follows are gathered into one run at its end. For
// showing work that changes far faster than a window can usefully repaint.
class Throttle : public QObject {
  public:
    Throttle(int interval_ms, std::function<void()> action, QObject* parent = nullptr);

    void Request();

  private:
    void Run();

    std::function<void()> action_;
    QTimer* timer_;
    bool pending_ = false;
};

}  // namespace numtrail
