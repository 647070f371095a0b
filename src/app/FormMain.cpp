// The window itself: creation, the bottom bar, the page control, settings,
// and the end of the program.
#include "app/FormMain.h"

#include "platform/StopSignals.h"

#include <QSocketNotifier>

#include "app/FormBuilders.h"
#include "app/Logo.h"
#include "app/ScreenFit.h"
#include "app/SettingsBindings.h"
#include "app/SettingsStore.h"
#include "app/tabs/Tabs.h"
#include "toolkit/SystemHelpers.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "tools/wipe/WipeFolder.h"
#include "util/QuillTPU.h"
#include "util/Random.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iostream>

using FormBuilders::NewButton;

namespace {

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

const QString kSec = QString::fromLatin1(SettingsStore::kSection);

// Every drive tool's work folder, for the sweep at start-up. The full test
// works in the speed test's folder under its mark.
const std::vector<Platform::ToolFolder> kToolFolders = {Wipe::kToolFolder, SpeedTest::kToolFolder};

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    BuildWindow();
    FTaskControl = new TTaskControl(this, btnCancel, StatusBar, this);
    connect(FTaskControl, &TTaskControl::TaskEnded, this, [this] {
        // A close that waited for the task: the run still has to leave its
        // handler, so close once the event loop is back.
        if (FClosePending)
            QTimer::singleShot(0, this, &QWidget::close);
    });
    BuildTabs();
    KeyboardOrder();
    WatchStopSignals();
    using ErrorReporting::Connect;
    Connect(btnCancel, &QPushButton::clicked, this, &TMainForm::btnCancelClick);
    Connect(btnSupport, &QPushButton::clicked, this, &TMainForm::btnSupportClick);
    Connect(btnMore, &QPushButton::clicked, this, &TMainForm::btnMoreClick);
    FormCreate();
}

TMainForm::~TMainForm() {
    ErrorReporting::RunGuarded([this] { FormDestroy(EndReason::Stopped); });
}

void TMainForm::BuildWindow() {
    setObjectName("MainForm");
    setWindowTitle(QStringLiteral("Stackwell  -  ") + QString(kMakerUrl).chopped(1));
    setAccessibleName(windowTitle());
    setWindowIcon(QuillmarkIcon());
    PlaceOnScreen();
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
    // It reports the focus along with its tab bar, so a screen reader names it.
    pagCrtl->setAccessibleName("Tools");
    auto* tabStyle = new TCompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
    tabStyle->setParent(pagCrtl);
    pagCrtl->tabBar()->setStyle(tabStyle);
    AddPages();
    // The pages scroll only where the screen is smaller than the window's
    // designed minimum; otherwise the area is exactly the page control.
    auto* pages = new QScrollArea(central);
    pages->setObjectName("PageScroller");
    pages->setFrameShape(QFrame::NoFrame);
    pages->setWidgetResizable(true);
    // Not a stop of its own: Tab goes through the page, which scrolls to
    // the control that takes the focus.
    pages->setFocusPolicy(Qt::NoFocus);
    pages->setWidget(pagCrtl);
    layout->addWidget(pages, 1);
    layout->addWidget(BuildBottomBar(central));
    setCentralWidget(central);

    StatusBar = statusBar();
    StatusBar->setObjectName("StatusBar");
    StatusBar->setAccessibleName("Status");
    StatusBar->setSizeGripEnabled(true);
}

// The designed size and place, kept inside the free area of the screen the
// window opens on.
void TMainForm::PlaceOnScreen() {
    const QSize designedMinimum(450, 670);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    setMinimumSize(ScreenFit::FitMinimum(designedMinimum, available));
    const QRect wanted(origin + QPoint(568, 233), QSize(450, 674));
    const QRect placed = ScreenFit::FitOnScreen(wanted, available);
    resize(placed.size());
    move(placed.topLeft());
}

QFrame* TMainForm::BuildBottomBar(QWidget* parent) {
    Panel2 = new QFrame(parent);
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
    return Panel2;
}

// The six tabs, in tab order: the one list that every step walks. Every page
// is in the page control before the control is laid out and before any tab
// is built: the disk-space panel takes its anchoring from its page's first
// real layout.
void TMainForm::AddPages() {
    FSettingsTab = NewSettingsTab(*this, &FBufferSizes);
    FTabs = {NewGeneratorTab(*this), NewSpeedTab(*this), NewWipeTab(*this),
             NewSpaceTab(*this),     NewMergeTab(*this), FSettingsTab};
    for (TTabPage* tab : FTabs)
        pagCrtl->addTab(tab, tab->Caption());
}

void TMainForm::BuildTabs() {
    for (TTabPage* tab : FTabs)
        tab->Build();
}

// The bottom bar is built before the pages' controls; Tab reaches it after
// them, as the eye does. Enter presses a focused button, as Space does.
void TMainForm::KeyboardOrder() {
    // Tab orders join only widgets that take the focus.
    QWidget* last = previousInFocusChain();
    while (last != this && !(last->focusPolicy() & Qt::TabFocus))
        last = last->previousInFocusChain();
    for (QWidget* button : {btnSupport, btnMore, btnCancel}) {
        if (last != button)
            QWidget::setTabOrder(last, button);
        last = button;
    }
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
}

void TMainForm::FormCreate() {
    QuillTPU::SetDoubleBufferedAll(this, true);
    QuillTPU::Randomize();
    // The page control fills the client area above the bottom bar through the
    // window's layout.
    for (TTabPage* tab : FTabs)
        tab->FormCreate();
}

// The settings table's order: the selected tab, then each tab's values in
// tab order, except that the Settings tab's three sizes follow the
// generator's values (Drive speed keeps its one value, the test file size,
// on the Settings tab; Disk space has none).
void TMainForm::SettingsRows(TSettingsBindings& rows) {
    rows.Add("ActivePageIndex", pagCrtl, 0);
    std::vector<TTabPage*> order = FTabs;
    const auto settings = std::find(order.begin(), order.end(), FSettingsTab);
    std::rotate(order.begin() + 1, settings, settings + 1);
    for (TTabPage* tab : order)
        tab->AddSettings(rows);
}

void TMainForm::LateInitialize() {
    TSettingsBindings rows;
    SettingsRows(rows);
    rows.Load(kSec);
    for (TTabPage* tab : FTabs)
        tab->LateInitialize();
    // A tool killed hard (power loss, SIGKILL) leaves its marked files; a
    // wipe's can fill a disk.
    const std::string status =
        QuillTPU::LeftoverStatus(Platform::RemoveToolLeftovers(kToolFolders));
    if (!status.empty())
        FTaskControl->SetStatus(status);
}

void TMainForm::FormDestroy(EndReason reason) {
    if (FSaved)
        return;
    FSaved = true;
    TSettingsBindings rows;
    SettingsRows(rows);
    if (rows.Save(kSec))
        return;
    const std::string where = SettingsStore::StorageLocation(SettingsStore::RegRoot::CurrentUser,
                                                             SettingsStore::KeyPathOf(kSec))
                                  .toStdString();
    const std::string text = "The settings could not be saved to \"" + where + "\".";
    if (reason == EndReason::UserClosed)
        QuillTPU::ShowErrorMessage(text);
    else
        std::cerr << "Ferrovane: " << text << '\n';
}

void TMainForm::btnSupportClick() {
    QuillTPU::OpenDocument(kSupportUrl);
}

void TMainForm::btnMoreClick() {
    QuillTPU::OpenDocument(kMoreToolsUrl);
}

// SIGTERM, SIGINT and SIGHUP close the window as the user would: a running
// tool is cancelled through its own path first (the wipe removes its fill),
// then the settings are saved. A failed save then goes to stderr only.
void TMainForm::WatchStopSignals() {
    const int fd = Platform::StopSignals::Install();
    if (fd < 0)
        return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        if (!Platform::StopSignals::Drain())
            return;
        FStopRequested = true;
        // A question or message open at that moment would hold the program
        // until somebody answers: it is closed, which answers No.
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
        close();
    });
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
    ErrorReporting::RunGuarded(
        [this] { FormDestroy(FStopRequested ? EndReason::Stopped : EndReason::UserClosed); });
    event->accept();
}
