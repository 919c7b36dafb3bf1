#pragma once

#include <QProgressBar>

namespace numtrail {

class BatchProgress;

// The batch's progress in the status bar, beside the message line: shown from the first run
// on, its text and tooltip those of the progress, as wide as its text needs within bounds,
// and coloured while the warning stands.
class BatchProgressBar final : public QProgressBar {
  public:
    BatchProgressBar(const BatchProgress& progress, QWidget* parent);

    // Shows where the run stands now.
    void Follow();

  private:
    const BatchProgress& progress_;
    bool warning_ = false;
};

}  // namespace numtrail
