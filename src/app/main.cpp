#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "app/defaults.h"
#include "app/options.h"
#include "platform/qt/qt_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const numtrail::OptionsOutcome outcome = numtrail::ParseOptions(app.arguments());
    if (!outcome.options) {
        std::fputs(outcome.output.toLocal8Bit().constData(),
                   outcome.exit_code == 0 ? stdout : stderr);
        return outcome.exit_code;
    }
    numtrail::QtPlatform platform;
    QWidget window;
    window.setWindowTitle(QStringLiteral("QuorvelNumtrail ") + numtrail::kProgramVersion);
    window.show();
    return app.exec();
}
