#include "ui/bindings.h"

#include <QEvent>
#include <QFocusEvent>
#include <QSignalBlocker>

namespace ammonite {

namespace {
// Runs the model's leave-field check when the box loses the focus.
class LeaveFilter : public QObject {
public:
    LeaveFilter(QObject* parent, TextBoxModel& model, ActionGuard guard)
        : QObject(parent), model_(model), guard_(std::move(guard)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A popup such as the box's own context menu takes the focus for a
        // moment without the user leaving the box.
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            guard_([this] { model_.leave(); });
        return QObject::eventFilter(watched, event);
    }

private:
    TextBoxModel& model_;
    ActionGuard guard_;
};
}  // namespace

void bindLineEdit(QLineEdit* edit, TextBoxModel& model, ActionGuard guard) {
    edit->setText(QString::fromStdString(model.text()));
    model.viewUpdate = [edit, &model] {
        QString t = QString::fromStdString(model.text());
        if (edit->text() != t) {
            QSignalBlocker block(edit);
            edit->setText(t);
        }
    };
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, &model, guard](const QString& text) {
        guard([&] { model.setText(text.toStdString()); });
        (void)edit;
    });
    edit->installEventFilter(new LeaveFilter(edit, model, guard));
}

void bindLabel(QLabel* label, LabelModel& model) {
    label->setText(QString::fromStdString(model.caption()));
    model.viewUpdate = [label, &model] { label->setText(QString::fromStdString(model.caption())); };
}

bool IsSuccessMessage(const std::string& text) {
    static const char* const done[] = {"Saved ", "Loaded ", "Profile files are kept", "Created the folder",
                                       "Undone", "Picture copied", "Kept ", "No profile files"};
    for (const char* d : done)
        if (text.rfind(d, 0) == 0) return true;
    return text.find("press START first to see the chart") != std::string::npos;
}

void bindStatusLine(QLabel* label, LabelModel& model) {
    auto show = [label, &model] {
        const std::string& text = model.caption();
        label->setText(QString::fromStdString(text));
        label->setStyleSheet(IsSuccessMessage(text) ? QStringLiteral("color: rgb(60, 60, 60);")
                                                    : QStringLiteral("color: rgb(160, 0, 0);"));
    };
    show();
    model.viewUpdate = show;
}

void bindScrollBar(QScrollBar* bar, ScrollBarModel& model, ActionGuard guard) {
    QSignalBlocker block(bar);
    // A bar whose minimum lies above its maximum is shown the same way round.
    bar->setRange(model.lowest(), model.highest());
    bar->setSingleStep(model.smallChange());
    bar->setPageStep(model.largeChange());
    bar->setValue(model.value());
    model.viewUpdate = [bar, &model] {
        if (bar->value() != model.value()) {
            QSignalBlocker b(bar);
            bar->setValue(model.value());
        }
    };
    QObject::connect(bar, &QScrollBar::valueChanged, bar, [&model, guard](int v) {
        guard([&] { model.setValue(v); });
    });
}

void bindCheckBox(QCheckBox* box, CheckBoxModel& model, ActionGuard guard) {
    {
        QSignalBlocker block(box);
        box->setChecked(model.checked());
    }
    model.viewUpdate = [box, &model] {
        if (box->isChecked() != model.checked()) {
            QSignalBlocker b(box);
            box->setChecked(model.checked());
        }
    };
    QObject::connect(box, &QCheckBox::toggled, box, [&model, guard](bool on) {
        guard([&] { model.setChecked(on); });
    });
}

}  // namespace ammonite
