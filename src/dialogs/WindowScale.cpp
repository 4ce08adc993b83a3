#include "dialogs/WindowScale.h"

#include "dialogs/WindowUtilities.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace tolva {

namespace {

// Per widget: the value at factor 1 and the value last applied.
const char* const kBaseFont = "tolvaScaleBaseFont";
const char* const kAppliedFont = "tolvaScaleAppliedFont";
const char* const kBaseMin = "tolvaScaleBaseMin";
const char* const kAppliedMin = "tolvaScaleAppliedMin";
const char* const kBaseMax = "tolvaScaleBaseMax";
const char* const kAppliedMax = "tolvaScaleAppliedMax";
const char* const kBaseSize = "tolvaScaleBaseSize";
const char* const kOwnerScaleName = "tolvaOwnerScale";

// The value at factor 1: the one kept, unless the widget's current value is
// no longer the one last applied (the code set it anew).
template <typename T> T baseOf(QWidget* w, const char* base, const char* applied, const T& current) {
    const QVariant kept = w->property(base);
    if (kept.isValid() && w->property(applied).value<T>() == current)
        return kept.value<T>();
    w->setProperty(base, QVariant::fromValue(current));
    return current;
}

int grown(int length, double scale) {
    if (length <= 0 || length >= QWIDGETSIZE_MAX)
        return length;
    return std::min(QWIDGETSIZE_MAX, static_cast<int>(std::lround(length * scale)));
}

QSize grown(const QSize& size, double scale) {
    return QSize(grown(size.width(), scale), grown(size.height(), scale));
}

void scaleFont(QWidget* w, double scale, bool own) {
    // Controls that inherit their font grow with the window's.
    if (!own && !w->testAttribute(Qt::WA_SetFont))
        return;
    QFont font = w->font();
    if (font.pointSizeF() <= 0)
        return;
    const double base = baseOf(w, kBaseFont, kAppliedFont, font.pointSizeF());
    font.setPointSizeF(base * scale);
    w->setFont(font);
    w->setProperty(kAppliedFont, font.pointSizeF());
}

void scaleSizes(QWidget* w, double scale) {
    const QSize min = grown(baseOf(w, kBaseMin, kAppliedMin, w->minimumSize()), scale);
    const QSize max = grown(baseOf(w, kBaseMax, kAppliedMax, w->maximumSize()), scale);
    // Open the limits first, so a fixed size can move either way.
    w->setMinimumSize(0, 0);
    w->setMaximumSize(max);
    w->setMinimumSize(min);
    w->setProperty(kAppliedMin, w->minimumSize());
    w->setProperty(kAppliedMax, w->maximumSize());
}

// Whether the widget lies in a scroll area of the window: what a scroll area
// shows (a page, a text) has its own size, not the screen's.
bool insideScrollArea(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p))
            return true;
    return false;
}

// Scales its dialog as the dialog is about to show.
class OwnerScale : public QObject {
public:
    OwnerScale(QWidget* dialog, QWidget* owner) : QObject(dialog), m_dialog(dialog), m_owner(owner) {
        dialog->installEventFilter(this);
    }
    void setOwner(QWidget* owner) { m_owner = owner; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_dialog && event->type() == QEvent::Show) {
            const QSize before = m_dialog->size();
            ScaleWindow(m_dialog, scale());
            // Placed for its old size, it would hang off the window.
            if (m_dialog->size() != before)
                CenterOnWindow(m_dialog, m_owner);
        }
        return false;
    }

private:
    double scale() const {
        if (m_owner)
            return tillScale(m_owner->size());
        const QScreen* screen = m_dialog->screen();
        return screen ? tillScale(screen->availableGeometry().size()) : 1.0;
    }

    QWidget* m_dialog;
    QPointer<QWidget> m_owner;
};

} // namespace

void ScaleWindow(QWidget* window, double scale) {
    if (!window)
        return;
    const bool sized = window->testAttribute(Qt::WA_Resized);
    const QSize baseSize =
        window->property(kBaseSize).isValid() ? window->property(kBaseSize).toSize() : window->size();
    window->setProperty(kBaseSize, baseSize);

    scaleFont(window, scale, true);
    scaleSizes(window, scale);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->isWindow() || insideScrollArea(child, window))
            continue;
        scaleFont(child, scale, false);
        scaleSizes(child, scale);
    }
    // Lay the window out anew at once, inner layouts first, so it shows (and
    // is placed) at its new size rather than after a later layout pass.
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        if (QLayout* layout = (*it)->layout()) {
            layout->invalidate();
            layout->activate();
        }
    if (QLayout* layout = window->layout()) {
        layout->invalidate();
        layout->activate();
    }
    // A window given its own size keeps its proportion; one sized by its
    // layout took its new size from the layout above.
    if (sized)
        window->resize(
            grown(baseSize, scale).expandedTo(window->minimumSize()).boundedTo(window->maximumSize()));
}

void ScaleWithOwner(QWidget* dialog, QWidget* owner) {
    if (!dialog)
        return;
    QObject* existing =
        dialog->findChild<QObject*>(QLatin1String(kOwnerScaleName), Qt::FindDirectChildrenOnly);
    if (auto* scale = dynamic_cast<OwnerScale*>(existing)) {
        scale->setOwner(owner);
        return;
    }
    new OwnerScale(dialog, owner);
}

} // namespace tolva
