#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <stdexcept>

#include "app/form1.h"
#include "app/local_lookups.h"
#include "app/options.h"
#include "lookup/http_fetcher.h"
#include "platform/qt/qt_platform.h"
#include "product/product.h"

namespace {

int Report(const numtrail::OptionsOutcome& outcome) {
    std::fputs(outcome.output.toLocal8Bit().constData(), outcome.exit_code == 0 ? stdout : stderr);
    return outcome.exit_code;
}

}  // namespace

int main(int argc, char** argv) {
    // Help, version and usage errors need no display: answer them before QApplication asks
    // for one, leaving aside the options it takes for itself (-platform and the like). The
    // options are read again once it has taken them.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const numtrail::OptionsOutcome early =
        numtrail::ParseOptions(numtrail::WithoutToolkitOptions(arguments));
    if (!early.options) return Report(early);

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("numtrail"));

    const numtrail::OptionsOutcome outcome = numtrail::ParseOptions(app.arguments());
    if (!outcome.options) return Report(outcome);

    // Standard buttons read 确定 / 是 / 否 / 取消.
    QTranslator translator;
    if (translator.load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);

    numtrail::AppOptions options = *outcome.options;
    numtrail::FetchOptions fetch;
    fetch.timeout_ms = options.timeout_seconds * 1000;
    numtrail::HttpFetcher fetcher(fetch);
    numtrail::QtPlatform platform(fetcher);
    std::unique_ptr<numtrail::LocalLookups> local;
    if (!options.lookup_url_given) {
        try {
            local = std::make_unique<numtrail::LocalLookups>(options);
        } catch (const std::runtime_error& error) {
            platform.Get().dialogs.Message({QStringLiteral("归属地服务无法启动，程序将退出。\r\n") +
                                                QString::fromStdString(error.what()),
                                            QString::fromUtf8(numtrail::product::kMessageTitle),
                                            numtrail::MessageIcon::Exclamation,
                                            numtrail::MessageButtons::Ok});
            return 1;
        }
    }

    numtrail::Form1 form(
        platform.Get(),
        numtrail::WindowSettings(options, local.get(), QCoreApplication::applicationDirPath()));
    form.SetDataSourceToolTip(numtrail::DataSourceText(options));
    form.Load();
    return app.exec();
}
