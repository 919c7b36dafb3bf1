#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "app/defaults.h"
#include "app/form1.h"
#include "app/options.h"
#include "platform/qt/qt_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("numtrail"));

    const numtrail::OptionsOutcome outcome = numtrail::ParseOptions(app.arguments());
    if (!outcome.options) {
        std::fputs(outcome.output.toLocal8Bit().constData(),
                   outcome.exit_code == 0 ? stdout : stderr);
        return outcome.exit_code;
    }

    // Standard buttons read 确定 / 是 / 否 / 取消.
    QTranslator translator;
    if (translator.load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);

    numtrail::QtPlatform platform;
    numtrail::Form1Settings settings;
    settings.lookup_url = outcome.options->lookup_url;
    settings.update_url = outcome.options->update_url;
    settings.program_folder = QCoreApplication::applicationDirPath();
    settings.fetch.timeout_ms = outcome.options->timeout_seconds * 1000;
    settings.fetch.max_body_bytes = numtrail::kMaxAnswerBytes;

    numtrail::Form1 form(platform.Get(), settings);
    form.Load();
    return app.exec();
}
