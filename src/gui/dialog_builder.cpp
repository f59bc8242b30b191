#include "gui/dialog_builder.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QValidator>

#include "gui/app_icon.h"
#include "gui/bitmap_button.h"

namespace plotvane::qtui {

namespace {

// Drops the characters an edit refuses instead of refusing the whole
// input, so a paste keeps what the edit can hold.
class CharacterFilter : public QValidator {
public:
    CharacterFilter(bool (*accepts)(char32_t), QObject* parent) : QValidator(parent), accepts_(accepts) {}

    State validate(QString& input, int& pos) const override {
        QString kept;
        int keptBeforeCursor = 0;
        const QList<uint> codes = input.toUcs4();
        int unit = 0;
        for (uint code : codes) {
            const int units = code > 0xFFFF ? 2 : 1;
            if (accepts_(static_cast<char32_t>(code))) {
                kept += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
                if (unit < pos) keptBeforeCursor += units;
            }
            unit += units;
        }
        input = kept;
        pos = keptBeforeCursor;
        return Acceptable;
    }

private:
    bool (*accepts_)(char32_t);
};

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// A digits-only edit refuses other characters as they are typed, one key
// or one input-method commit at a time; text pasted or dropped into it is
// taken whole, so a letter can reach the checks that name it.
class TypedDigitsOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Shortcuts (Ctrl+V) and control characters (Enter, Backspace) go through.
            if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
            const QString text = key->text();
            return refused(text) && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
        }
        if (event->type() == QEvent::InputMethod) {
            const QString commit = static_cast<QInputMethodEvent*>(event)->commitString();
            if (!refused(commit)) return false;
            QInputMethodEvent dropped;
            QCoreApplication::sendEvent(watched, &dropped);
            return true;
        }
        return false;
    }

private:
    static bool refused(const QString& text) {
        const QList<uint> codes = text.toUcs4();
        return std::any_of(codes.begin(), codes.end(), [](uint c) { return !isDigit(static_cast<char32_t>(c)); });
    }
};

// Radio buttons that are groups of their own: a click marks the button
// (never takes the mark off); the dialog's logic sets the other marks.
class SingleRadioButton : public QRadioButton {
    // Its own class name lets the accessibility factory below find it.
    Q_OBJECT

public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override { setChecked(true); }
};

// Screen readers would take a radio button that is not auto-exclusive for
// a check box; this one says what it is.
class SingleRadioAccessible : public QAccessibleWidget {
public:
    explicit SingleRadioAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = static_cast<QAbstractButton*>(widget())->isChecked();
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action == pressAction() && widget()->isEnabled()) {
            static_cast<QAbstractButton*>(widget())->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

// The dialogs' edits. Their own class name lets the accessibility factory
// below find them.
class DialogEdit : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;
};

// An edit as a screen reader should hear it: a read-only display field is
// read-only and not editable (the toolkit's own interface reports both),
// and only an editable one offers its text for editing.
class DialogEditAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
public:
    explicit DialogEditAccessible(QLineEdit* edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface && !edit()->isReadOnly())
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = edit()->isReadOnly();
        s.editable = !s.readOnly;
        s.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
        s.selectable = true;
        s.selected = edit()->hasSelectedText();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return shown();
        return QAccessibleWidget::text(t);
    }

    // Text.
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || !edit()->hasSelectedText()) return;
        *start = edit()->selectionStart();
        *end = *start + static_cast<int>(edit()->selectedText().size());
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { edit()->deselect(); }
    void setSelection(int, int start, int end) override { edit()->setSelection(start, end - start); }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    QRect characterRect(int offset) const override {
        const QFontMetrics metrics = edit()->fontMetrics();
        const QString before = shown().left(offset);
        const QRect inside = edit()->rect().adjusted(2, 2, -2, -2);
        const QPoint at(inside.left() + metrics.horizontalAdvance(before), inside.top());
        const int width = offset < characterCount() ? metrics.horizontalAdvance(shown().at(offset)) : 1;
        return QRect(edit()->mapToGlobal(at), QSize(width, inside.height()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int) override { edit()->setCursorPosition(start); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

    // Editable text, through the edit's own filters and limit.
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        edit()->setSelection(start, end - start);
        edit()->insert(text);
    }

private:
    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }
    QString shown() const { return edit()->displayText(); }
};

QAccessibleInterface* dialogAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(SingleRadioButton::staticMetaObject.className())) {
        auto* radio = qobject_cast<SingleRadioButton*>(object);
        return radio ? new SingleRadioAccessible(radio) : nullptr;
    }
    if (className == QLatin1String(DialogEdit::staticMetaObject.className())) {
        auto* edit = qobject_cast<DialogEdit*>(object);
        return edit ? new DialogEditAccessible(edit) : nullptr;
    }
    return nullptr;
}

QWidget* makeWidget(QWidget& window, const ui::ControlLayout& row, const std::function<void(int)>& clicked) {
    const QString caption = toQString(row.caption);
    const int id = row.id;
    auto forward = [clicked, id] { clicked(id); };
    switch (row.kind) {
    case ui::ControlKind::Label: {
        auto* label = new QLabel(caption, &window);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ui::ControlKind::Icon: {
        auto* icon = new QLabel(&window);
        icon->setAlignment(Qt::AlignCenter);
        icon->setPixmap(appIcon().pixmap(32, 32));
        return icon;
    }
    case ui::ControlKind::GroupBox: return new QGroupBox(caption, &window);
    case ui::ControlKind::Edit: {
        auto* edit = new DialogEdit(&window);
        if (row.inputLimit > 0) edit->setMaxLength(row.inputLimit);
        if (row.styles & ui::kCentred) edit->setAlignment(Qt::AlignCenter);
        if (row.styles & ui::kPasswordEcho) edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case ui::ControlKind::PushButton: {
        auto* button = new QPushButton(caption, &window);
        if (row.styles & ui::kDefaultButton) button->setDefault(true);
        QObject::connect(button, &QPushButton::clicked, button, forward);
        return button;
    }
    case ui::ControlKind::BitmapButton: {
        auto* button = new BitmapButton(row.face, &window);
        QObject::connect(button, &QAbstractButton::clicked, button, forward);
        return button;
    }
    case ui::ControlKind::CheckBox: {
        auto* box = new QCheckBox(caption, &window);
        QObject::connect(box, &QCheckBox::clicked, box, forward);
        return box;
    }
    case ui::ControlKind::RadioButton: {
        auto* radio = new SingleRadioButton(caption, &window);
        radio->setAutoExclusive(false);
        QObject::connect(radio, &QRadioButton::clicked, radio, forward);
        return radio;
    }
    }
    return nullptr;
}

}  // namespace

QFont dialogFont() {
    QFont font(QStringLiteral("IPAGothic"));
    // 9 points at 96 dots per inch, fixed in pixels so that the layout in
    // dialog units holds whatever resolution the screen reports.
    font.setPixelSize(ui::kFontPixelHeight);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

void configureApplication() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(appIcon());
    QAccessible::installFactory(dialogAccessible);
    // No display name: Qt would append it to every title the desktop shows,
    // and each box and dialog has its own exact title.
    QApplication::setApplicationName(QStringLiteral("Plotvane2"));
}

QString toQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

void buildControls(QWidget& window, const ui::DialogLayout& layout, const std::function<void(int)>& clicked) {
    window.setFont(dialogFont());
    window.setFixedSize(ui::clientWidth(layout), ui::clientHeight(layout));
    window.setWindowTitle(toQString(layout.title));
    // Group boxes first, so the radio buttons they frame lie above them.
    for (int pass = 0; pass < 2; ++pass) {
        for (const ui::ControlLayout& row : layout.controls) {
            if ((row.kind == ui::ControlKind::GroupBox) != (pass == 0)) continue;
            QWidget* widget = makeWidget(window, row, clicked);
            const ui::PixelRect box = ui::toPixels(row.box);
            widget->setGeometry(box.left, box.top, box.width(), box.height());
            widget->setAccessibleName(toQString(row.accessibleName));
            // A picture face says nothing to the eye until the pointer rests on it.
            if (row.kind == ui::ControlKind::BitmapButton) widget->setToolTip(widget->accessibleName());
            if (row.id != ui::kIdStatic) widget->setObjectName(QString::number(row.id));
            if (row.kind != ui::ControlKind::Edit) continue;
            auto* edit = static_cast<QLineEdit*>(widget);
            if (row.styles & ui::kDigitsOnly) edit->installEventFilter(new TypedDigitsOnly(edit));
            if (row.styles & ui::kWindows1252Text)
                edit->setValidator(new CharacterFilter(plotvane::isWindows1252TextCharacter, edit));
            if (row.styles & ui::kReadOnlyAtStart) setEditReadOnly(edit, true);
        }
    }
}

QWidget* findControl(const QWidget* window, int id) {
    if (!window) return nullptr;
    return window->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void setEditReadOnly(QWidget* widget, bool readOnly) {
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (!edit) return;
    edit->setReadOnly(readOnly);
    // Tab and the focus a disabled button hands on skip display fields,
    // which would otherwise select their text and show its end.
    edit->setFocusPolicy(readOnly ? Qt::ClickFocus : Qt::StrongFocus);
    QPalette palette = edit->parentWidget() ? edit->parentWidget()->palette() : QApplication::palette();
    if (readOnly) palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QStringList toNameFilters(std::string_view filter) {
    QStringList out;
    const QStringList parts = toQString(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of the entry.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            out << description;
        else
            out << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

}  // namespace plotvane::qtui

#include "dialog_builder.moc"
