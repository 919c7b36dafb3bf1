#include <QApplication>
#include <QDialog>
#include <QLineEdit>

#include "app/form1_fixture.h"

namespace numtrail::test {
namespace {

// Looks at the modal window Command8 opened, once its event loop runs, and closes it.
// Bound to the main window, so a check that never ran dies with the test's window.
void InspectGenerator(QObject* main_window, QStringList& seen, const QString& prefix_to_type) {
    QTimer::singleShot(0, main_window, [&seen, prefix_to_type] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QStringLiteral("Form6")) {
            seen << QStringLiteral("no generator");
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            return;
        }
        auto* prefix = dialog->findChild<QLineEdit*>(QStringLiteral("Text2"));
        seen << dialog->windowTitle() + QLatin1Char('|') + prefix->text() +
                    (dialog->isModal() ? QStringLiteral("|modal") : QString());
        prefix->setText(prefix_to_type);
        dialog->reject();
    });
}

TEST_F(Form1Test, Command8OpensAFreshGeneratorEachTime) {
    Form1& f = CreateReady();
    QStringList seen;
    InspectGenerator(&f, seen, QStringLiteral("139"));
    Button("Command8")->click();
    InspectGenerator(&f, seen, QStringLiteral("139"));
    Button("Command8")->click();
    EXPECT_EQ(seen, (QStringList{"随机生成手机号码|186|modal", "随机生成手机号码|186|modal"}));
    EXPECT_EQ(f.findChild<QDialog*>(QStringLiteral("Form6")), nullptr);  // nothing left behind
    EXPECT_TRUE(fake.dialogs.Prompts().empty());
}

}  // namespace
}  // namespace numtrail::test
