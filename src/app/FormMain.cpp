// The window itself: creation, the bottom bar, the page control, the task
// handlers' net, and the end of the program.
#include "app/FormMain.h"

#include "app/FormBuilders.h"
#include "app/Logo.h"
#include "components/FreeDiskSpace.h"
#include "toolkit/SystemHelpers.h"
#include "toolkit/TImage.h"
#include "util/QuillTPU.h"
#include "util/Random.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using FormBuilders::NewButton;

namespace {

QWidget* NewPage(QTabWidget* pages, const char* objectName, const char* caption) {
    auto* page = new QWidget(pages);
    page->setObjectName(objectName);
    page->setAccessibleName(caption);
    pages->addTab(page, caption);
    return page;
}

// Narrower tab padding, so that all six captions fit the minimum width.
class TCompactTabStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? std::min(value, 12) : value;
    }
};

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    BuildWindow();
    BuildGeneratorTab();
    BuildSettingsTab();
    FTaskControl = new TTaskControl(this, btnCancel, StatusBar, this);
    connect(FTaskControl, &TTaskControl::TaskEnded, this, [this] {
        // A close that waited for the task: the run still has to leave its
        // handler, so close once the event loop is back.
        if (FClosePending)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    Connect(btnCancel, &QPushButton::clicked, &TMainForm::btnCancelClick);
    Connect(btnSupport, &QPushButton::clicked, &TMainForm::btnSupportClick);
    Connect(btnMore, &QPushButton::clicked, &TMainForm::btnMoreClick);
    Connect(imgLogo2, &TImage::Clicked, &TMainForm::btnMoreClick);
    ConnectGeneratorTab();
    FormCreate();
}

TMainForm::~TMainForm() {
    ErrorReporting::RunGuarded([this] { FormDestroy(); });
}

void TMainForm::BuildWindow() {
    setObjectName("MainForm");
    setWindowTitle(QStringLiteral("Stackwell  -  ") + QString(kMakerUrl).chopped(1));
    setAccessibleName(windowTitle());
    setMinimumSize(450, 670);
    resize(445, 674);
    move(568, 233);
    setWindowOpacity(248.0 / 255.0);
    // The design's 8-point font: six tab captions fit the minimum width.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pagCrtl = new QTabWidget(central);
    pagCrtl->setObjectName("pagCrtl");
    pagCrtl->setMinimumSize(350, 450);
    auto* tabStyle = new TCompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
    tabStyle->setParent(pagCrtl);
    pagCrtl->tabBar()->setStyle(tabStyle);
    tabMain = NewPage(pagCrtl, "tabMain", "Stackwell");
    tabDiskSpeed = NewPage(pagCrtl, "tabDiskSpeed", "Drive speed");
    tabWipe = NewPage(pagCrtl, "tabWipe", "Data wipe");
    tabSpace = NewPage(pagCrtl, "tabSpace", "Disk space");
    TFreeDiskSpace::PlaceOn(tabSpace); // lists the drives ready now, once
    tabMerge = NewPage(pagCrtl, "tabMerge", "Merge files");
    tabSettings = NewPage(pagCrtl, "tabSettings", "Settings");
    layout->addWidget(pagCrtl, 1);

    Panel2 = new QFrame(central);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(44);
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(8, 6, 8, 6);
    btnSupport = NewButton(Panel2, "btnSupport", "Support");
    btnMore = NewButton(Panel2, "btnMore", "More tools");
    btnCancel = NewButton(Panel2, "btnCancel", "Cancel");
    btnCancel->setVisible(false);
    bar->addWidget(btnSupport);
    bar->addWidget(btnMore);
    bar->addStretch(1);
    bar->addWidget(btnCancel);
    layout->addWidget(Panel2);
    setCentralWidget(central);

    StatusBar = statusBar();
    StatusBar->setObjectName("StatusBar");
    StatusBar->setAccessibleName("Status");
    StatusBar->setSizeGripEnabled(true);
}

void TMainForm::FormCreate() {
    QuillTPU::SetDoubleBufferedAll(this, true);
    QuillTPU::Randomize();
    // The page control fills the client area above the bottom bar through the
    // window's layout.
    spnSizeOfFileChange();
}

bool TMainForm::RunTaskHandler(const std::function<void()>& handler) {
    if (FTaskControl->Busy())
        return false;
    const bool ok = ErrorReporting::RunGuarded(handler);
    // Every way out of a tool passes through EndTask, also an error.
    if (!ok && FTaskControl->Busy())
        FTaskControl->EndTask();
    return true;
}

void TMainForm::btnSupportClick() {
    QuillTPU::OpenDocument(kSupportUrl);
}

void TMainForm::btnMoreClick() {
    QuillTPU::OpenDocument(kMoreToolsUrl);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FTaskControl->Busy()) {
        // Let the running tool stop through its own cancel path; the window
        // closes when it has ended.
        FClosePending = true;
        if (!FTaskControl->CancelRequested())
            FTaskControl->btnCancelClick();
        event->ignore();
        return;
    }
    FClosePending = false;
    ErrorReporting::RunGuarded([this] { FormDestroy(); });
    event->accept();
}
