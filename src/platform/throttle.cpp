#include "platform/throttle.h"

#include <QTimer>

namespace numtrail {

Throttle::Throttle(int interval_ms, std::function<void()> action, QObject* parent)
    : QObject(parent), action_(std::move(action)), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(interval_ms);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (pending_) Run();  // and a new interval begins; after a quiet one the timer rests
    });
}

void Throttle::Request() {
    pending_ = true;
    if (!timer_->isActive()) Run();
}

void Throttle::Run() {
    pending_ = false;
    timer_->start();
    action_();
}

}  // namespace numtrail
