#include "app/form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include "app/batch_progress_bar.h"
#include "app/defaults.h"
#include "app/result_menu.h"
#include "app/result_view.h"
#include "attribution/protocol.h"
#include "generator/form6.h"
#include "lookup/answer_source.h"
#include "lookup/batch_progress.h"
#include "lookup/number_lookup.h"
#include "platform/files.h"
#include "platform/throttle.h"
#include "product/product.h"
#include "results/entry_list_model.h"
#include "results/result_journal.h"
#include "results/result_list_model.h"
#include "update/update_check.h"

namespace numtrail {
namespace {

// The design is laid out in twips, 15 to a pixel at 96 dpi. A control inside a container
// is placed relative to the container's own origin.
QRect Twips(int left, int top, int width, int height, QPoint origin = {}) {
    return QRect((left - origin.x()) / 15, (top - origin.y()) / 15, width / 15, height / 15);
}

const QPoint kFrame5Origin{120, 240};
const QPoint kFrame4Origin{120, 1560};
const QPoint kFrame2Origin{2880, 240};
const QPoint kPicture1Origin{4200, 2760};

template <typename W>
W* Place(W* widget, const QString& name, const QRect& geometry) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

Form1::Form1(Platform& platform, Form1Settings settings)
    : platform_(platform), settings_(std::move(settings)) {
    if (!settings_.journal_folder.isEmpty()) {
        JournalOptions journal;
        journal.keep_days = settings_.journal_days;
        journal_ = std::make_unique<ResultJournal>(
            std::filesystem::path(QFile::encodeName(settings_.journal_folder).toStdString()),
            platform_.clock, journal);
    }
    if (settings_.lookup_url.isEmpty() && settings_.attributor)
        answers_ = std::make_unique<AttributedAnswers>(*settings_.attributor);
    else
        answers_ =
            std::make_unique<FetchedAnswers>(platform_.fetcher, settings_.lookup_url, query_slots_);
    CreateControls();
    CreateStatusBar();
    Connect();
    // Rows of personal data kept on disk are said once, on the first start that keeps them.
    if (journal_ && journal_->FirstStart())
        S1_->setToolTip(QStringLiteral("查询结果同时记入结果日志：%1（每天一个文件，保留 %2 "
                                       "天）。不需要时可用 --no-journal 启动程序。")
                            .arg(settings_.journal_folder)
                            .arg(settings_.journal_days));
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(product::kWindowTitle));
    setFixedSize(Twips(0, 0, 11685, 7695).size());

    auto* Frame5 = Place(new QGroupBox(QStringLiteral("查询模式"), this), QStringLiteral("Frame5"),
                         Twips(120, 240, 2655, 1215));
    Option4_[0] = Place(new QRadioButton(QStringLiteral("单号查询模式"), Frame5),
                        QStringLiteral("Option4(0)"), Twips(600, 600, 1455, 255, kFrame5Origin));
    Option4_[1] = Place(new QRadioButton(QStringLiteral("批量查询模式"), Frame5),
                        QStringLiteral("Option4(1)"), Twips(600, 960, 1575, 255, kFrame5Origin));
    option_group_ = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        option_group_->addButton(Option4_[i], i);
        Option4_[i]->setEnabled(false);
    }

    Frame4_ = Place(new QGroupBox(QStringLiteral("批量查询"), this), QStringLiteral("Frame4"),
                    Twips(120, 1560, 2655, 5295));
    List1_ = Place(new QListView(Frame4_), QStringLiteral("List1"),
                   Twips(240, 1800, 2415, 3120, kFrame4Origin));
    entries_ = new EntryListModel(this);
    List1_->setModel(entries_);
    Command2_ = Place(new QPushButton(QStringLiteral("导入号码"), Frame4_),
                      QStringLiteral("Command2"), Twips(240, 5040, 2415, 495, kFrame4Origin));
    Command3_ = Place(new QPushButton(QStringLiteral("开始查询"), Frame4_),
                      QStringLiteral("Command3"), Twips(240, 5640, 2415, 495, kFrame4Origin));
    Command8_ = Place(new QPushButton(QStringLiteral("随机生成"), Frame4_),
                      QStringLiteral("Command8"), Twips(240, 6240, 2415, 495, kFrame4Origin));
    for (QPushButton* b : {Command2_, Command3_, Command8_}) b->setEnabled(false);

    auto* Frame2 =
        Place(new QGroupBox(QStringLiteral("查询信息 （友情提示：建议将速度调整慢一些，3~5秒一"
                                           "次，效果最佳，否则会出现受限情况。）"),
                            this),
              QStringLiteral("Frame2"), Twips(2880, 240, 8655, 6615));
    ListView1_ = Place(new ResultView(*new ResultListModel(this), Frame2),
                       QStringLiteral("ListView1"), Twips(3000, 480, 8415, 5655, kFrame2Origin));
    Command1_ = Place(new QPushButton(QStringLiteral("官方论坛"), Frame2),
                      QStringLiteral("Command1"), Twips(4440, 6240, 1335, 495, kFrame2Origin));
    Command4_ = Place(new QPushButton(QStringLiteral("全能资源盒"), Frame2),
                      QStringLiteral("Command4"), Twips(5880, 6240, 1335, 495, kFrame2Origin));
    Command5_ = Place(new QPushButton(QStringLiteral("退出程序"), Frame2),
                      QStringLiteral("Command5"), Twips(7320, 6240, 1335, 495, kFrame2Origin));
    Place(new QLabel(QStringLiteral("速度："), Frame2), QStringLiteral("Label1"),
          Twips(9240, 6405, 540, 180, kFrame2Origin));
    Combo1_ = Place(new QComboBox(Frame2), QStringLiteral("Combo1"),
                    Twips(9840, 6360, 855, 300, kFrame2Origin));
    Place(new QLabel(QStringLiteral("秒"), Frame2), QStringLiteral("Label2"),
          Twips(10800, 6405, 180, 180, kFrame2Origin));

    // The overlay lies above the frames while the update check runs.
    Picture1_ = Place(new QWidget(this), QStringLiteral("Picture1"), Twips(4200, 2760, 6375, 975));
    Picture1_->setAutoFillBackground(true);
    Place(new QLabel(QStringLiteral("正在进行联网检测..请您稍等.."), Picture1_),
          QStringLiteral("Label6"), Twips(5520, 3120, 3600, 240, kPicture1Origin));
    Picture1_->raise();

    lookup_ = new NumberLookup(*answers_, ListView1_->Results(), journal_.get(), this);
    batch_ = new BatchRunner(*this, this);
    progress_ = new BatchProgress(*batch_, {}, this);
}

void Form1::CreateStatusBar() {
    S1_ = Place(new QStatusBar(this), QStringLiteral("S1"), Twips(0, 7080, 11685, 615));
    S1_->setSizeGripEnabled(false);
    const QString texts[3] = {QStringLiteral("提示："), QStringLiteral("检测更新中请稍等.."),
                              QStringLiteral("Quorvel出品")};
    message_ = texts[1];
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(texts[i], S1_);
        panels_[i]->setObjectName(QStringLiteral("S1Panel%1").arg(i + 1));
        panels_[i]->setTextFormat(Qt::PlainText);
        panels_[i]->setFrameShape(QFrame::StyledPanel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
    }
    panels_[0]->setFixedWidth(1440 / 15);
    panels_[2]->setFixedWidth(1440 / 15);
    // Shown from the first run on, between the message line and the maker's mark.
    ProgressBar1_ = new BatchProgressBar(*progress_, S1_);
    S1_->addWidget(panels_[0]);
    S1_->addWidget(panels_[1], 1);
    S1_->addPermanentWidget(ProgressBar1_);
    S1_->addPermanentWidget(panels_[2]);
}

void Form1::Connect() {
    connect(Command1_, &QPushButton::clicked, this, [this] { OpenHelpPage(kForumPage); });
    connect(Command4_, &QPushButton::clicked, this, [this] { OpenHelpPage(kResourcePage); });
    connect(Command5_, &QPushButton::clicked, this, &QWidget::close);
    // A fresh generator each time: closing it discards its list and fields.
    connect(Command8_, &QPushButton::clicked, this, [this] { Form6(platform_, this).exec(); });
    menu_ = new ResultMenu(
        platform_, *ListView1_, settings_.program_folder,
        [this](const QString& text) { SetMessage(text); }, this);
    connect(menu_, &ResultMenu::QuitRequested, this, &QWidget::close);
    connect(lookup_, &NumberLookup::MessageChanged, this, &Form1::SetMessage);
    // Said where it stays readable; the queries go on.
    connect(lookup_, &NumberLookup::JournalFailed, this, [this](const QString& error) {
        S1_->setToolTip(QStringLiteral("结果日志写入失败，查询照常进行：") + error);
    });
    ConnectQueries();
}

void Form1::Load() {
    setWindowIcon(QIcon());
    AttachSkin();
    ListView1_->FitColumns();  // in the font the skin gives
    for (const BatchRunner::Speed& speed : BatchRunner::Speeds()) Combo1_->addItem(speed.label);
    Combo1_->setCurrentIndex(batch_->SpeedIndex());
    show();
    gx();
}

void Form1::AttachSkin() {
    const FileReadResult skin =
        platform_.files.ReadAll(QDir(settings_.program_folder).filePath(kSkinFile));
    if (skin.ok) qApp->setStyleSheet(QString::fromUtf8(skin.bytes));
}

void Form1::gx() {
    // Without an update server there is nothing to ask: the window is as after a check that
    // found this version.
    if (settings_.update_url.isEmpty()) {
        MakeReady();
        return;
    }
    const FetchResult manifest = platform_.fetcher.Fetch(
        settings_.update_url + QLatin1StringView(attribution::kManifestPath));
    const ManifestVerdict verdict =
        JudgeManifest(manifest.body, QLatin1StringView(product::kVersion));
    switch (verdict.kind) {
        case ManifestVerdict::Kind::Failed:
            Message(QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版"),
                    MessageIcon::Exclamation);
            MakeReady();
            return;
        case ManifestVerdict::Kind::Newer:
            Message(NewerVersionText(verdict.version), MessageIcon::Information);
            OpenHelpPage(kForumPage);
            platform_.end.EndNow();
        case ManifestVerdict::Kind::Current:
            MakeReady();
            return;
    }
}

void Form1::MakeReady() {
    SetMessage(QStringLiteral("欢迎使用Quorvel系列软件 .."));
    Picture1_->hide();
    Picture1_->findChild<QLabel*>(QStringLiteral("Label6"))->hide();
    Option4_[1]->setChecked(true);  // runs the batch option's handling
    Option4_[0]->setEnabled(true);
    Option4_[1]->setEnabled(true);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (ConfirmExit())
        event->accept();
    else
        event->ignore();
}

bool Form1::ConfirmExit() {
    const MessageAnswer answer =
        Message(QStringLiteral("感谢您对Quorvel、对Quorvel系列的软件的支持!\r \r"
                               "是否退出并到论坛可以下载更多Quorvel的原创免费软件?"),
                MessageIcon::Information, MessageButtons::YesNoCancel);
    if (answer == MessageAnswer::Cancel) return false;
    if (answer == MessageAnswer::Yes) OpenHelpPage(kForumPage);
    platform_.end.EndNow();
}

void Form1::OpenHelpPage(const QString& relative_path) {
    const QString& folder =
        settings_.help_folder.isEmpty() ? settings_.program_folder : settings_.help_folder;
    platform_.shell.OpenPage(QDir(folder).filePath(relative_path));
}

QString Form1::PanelText(int panel) const {
    return panel == 2 ? message_ : panels_[panel - 1]->text();
}

const ResultStore& Form1::Results() const { return ListView1_->Results().Store(); }

void Form1::SetDataSourceToolTip(const QString& text) { panels_[2]->setToolTip(text); }

void Form1::SetMessage(const QString& text) {
    message_ = text;
    if (BatchRunning())
        batch_shown_->Request();
    else
        panels_[1]->setText(text);
}

MessageAnswer Form1::Message(const QString& text, MessageIcon icon, MessageButtons buttons) {
    return platform_.dialogs.Message(
        {text, QString::fromUtf8(product::kMessageTitle), icon, buttons});
}

}  // namespace numtrail
