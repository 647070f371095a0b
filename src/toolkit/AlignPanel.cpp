#include "toolkit/AlignPanel.h"

#include <QChildEvent>
#include <QEvent>
#include <QVariant>

namespace {

constexpr const char* kAlignProperty = "fvAlign";

} // namespace

TAlign AlignOf(const QWidget* widget) {
    const QVariant v = widget->property(kAlignProperty);
    return v.isValid() ? static_cast<TAlign>(v.toInt()) : alNone;
}

void SetAlignOf(QWidget* widget, TAlign align) {
    widget->setProperty(kAlignProperty, static_cast<int>(align));
    if (auto* panel = qobject_cast<TAlignPanel*>(widget->parentWidget()))
        panel->Realign();
}

TAlignPanel::TAlignPanel(QWidget* parent) : QWidget(parent) {}

void TAlignPanel::EnableAlign() {
    if (FDisabled > 0 && --FDisabled == 0)
        Realign();
}

void TAlignPanel::Realign() {
    if (FDisabled > 0 || FAligning)
        return;
    FAligning = true;
    QRect rest = rect();
    const auto kids = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    // Top and bottom strips first, then left and right, then the client.
    for (const TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (QWidget* w : kids) {
            if (w->isWindow() || w->isHidden() || AlignOf(w) != pass)
                continue;
            const QRect g = w->geometry();
            switch (pass) {
            case alTop:
                w->setGeometry(rest.left(), rest.top(), rest.width(), g.height());
                rest.setTop(rest.top() + g.height());
                break;
            case alBottom:
                w->setGeometry(rest.left(), rest.bottom() + 1 - g.height(), rest.width(),
                               g.height());
                rest.setBottom(rest.bottom() - g.height());
                break;
            case alLeft:
                w->setGeometry(rest.left(), rest.top(), g.width(), rest.height());
                rest.setLeft(rest.left() + g.width());
                break;
            case alRight:
                w->setGeometry(rest.right() + 1 - g.width(), rest.top(), g.width(), rest.height());
                rest.setRight(rest.right() - g.width());
                break;
            default:
                w->setGeometry(rest.left(), rest.top(), std::max(0, rest.width()),
                               std::max(0, rest.height()));
                break;
            }
        }
    }
    FAligning = false;
}

bool TAlignPanel::event(QEvent* event) {
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) {
            if (event->type() == QEvent::ChildAdded)
                child->installEventFilter(this);
            else
                child->removeEventFilter(this);
        }
        const bool result = QWidget::event(event);
        Realign();
        return result;
    }
    return QWidget::event(event);
}

bool TAlignPanel::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched->parent() == this)
            Realign();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TAlignPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Realign();
}

TAlignSuspension::TAlignSuspension(QWidget* parent) : FPanel(qobject_cast<TAlignPanel*>(parent)) {
    if (FPanel)
        FPanel->DisableAlign();
}

TAlignSuspension::~TAlignSuspension() {
    if (FPanel)
        FPanel->EnableAlign();
}
