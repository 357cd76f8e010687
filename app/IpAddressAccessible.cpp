#include "app/IpAddressAccessible.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QLineEdit>

#include "app/IpAddressEdit.h"

namespace quillstone {

namespace {

const QString kKind = QStringLiteral("IP address");

// The index of the part that holds the focus, or -1.
int FocusedPart(const IpAddressEdit& edit) {
  for (int i = 0; i < 4; ++i) {
    if (edit.field(i) == QApplication::focusWidget()) return i;
  }
  return -1;
}

// Read-only text for a reader's caret and review commands; typing goes through the parts.
class ReadableText : public QAccessibleTextInterface {
 public:
  void selection(int /*selectionIndex*/, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int /*startOffset*/, int /*endOffset*/) override {}
  void removeSelection(int /*selectionIndex*/) override {}
  void setSelection(int /*selectionIndex*/, int /*startOffset*/, int /*endOffset*/) override {}
  int cursorPosition() const override { return Cursor(); }
  void setCursorPosition(int /*position*/) override {}
  QString text(int startOffset, int endOffset) const override {
    return Content().mid(startOffset, endOffset - startOffset);
  }
  int characterCount() const override { return static_cast<int>(Content().size()); }
  QRect characterRect(int /*offset*/) const override { return {}; }
  int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
  void scrollToSubstring(int /*startIndex*/, int /*endIndex*/) override {}
  QString attributes(int /*offset*/, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
    return {};
  }

 protected:
  virtual QString Content() const = 0;
  virtual int Cursor() const = 0;
};

// The control itself: one edit; the parts are not its children.
class AddressAccessible final : public QAccessibleWidget, public ReadableText {
 public:
  explicit AddressAccessible(IpAddressEdit* edit)
      : QAccessibleWidget(edit, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return Edit().text();
    if (kind == QAccessible::Description) {
      const QString own = QAccessibleWidget::text(kind);
      return own.isEmpty() ? kKind : kKind + QStringLiteral(", ") + own;
    }
    return QAccessibleWidget::text(kind);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.focusable = true;
    state.editable = true;
    state.focused = FocusedPart(Edit()) >= 0;
    return state;
  }

  int childCount() const override { return 0; }
  QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
  QAccessibleInterface* focusChild() const override { return nullptr; }

 private:
  const IpAddressEdit& Edit() const { return *static_cast<const IpAddressEdit*>(object()); }
  QString Content() const override { return Edit().text(); }
  // Where the cursor of the focused part is in the dotted text.
  int Cursor() const override {
    const int part = FocusedPart(Edit());
    if (part < 0) return 0;
    const QStringList numbers = Edit().text().split(QLatin1Char('.'));
    int offset = 0;
    for (int i = 0; i < part; ++i) offset += static_cast<int>(numbers[i].size()) + 1;
    return offset +
           std::min(Edit().field(part)->cursorPosition(), static_cast<int>(numbers[part].size()));
  }
};

// A part of the control, which the focus event of a reader points at: read as the control.
class AddressPartAccessible final : public QAccessibleWidget, public ReadableText {
 public:
  AddressPartAccessible(QLineEdit* part, IpAddressEdit* edit)
      : QAccessibleWidget(part, QAccessible::EditableText), edit_(edit) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Name:
      case QAccessible::Value:
        return Control()->text(kind);
      case QAccessible::Description:
        return Control()->text(kind) + QStringLiteral(", part %1 of 4").arg(Index() + 1);
      default:
        return QAccessibleWidget::text(kind);
    }
  }

  // It stands in the control's place.
  QAccessibleInterface* parent() const override { return Control()->parent(); }

 private:
  QAccessibleInterface* Control() const { return QAccessible::queryAccessibleInterface(edit_); }
  int Index() const {
    for (int i = 0; i < 4; ++i) {
      if (edit_->field(i) == object()) return i;
    }
    return 0;
  }
  // The part's own digits, so that the reader's caret follows the typing.
  QString Content() const override { return static_cast<QLineEdit*>(widget())->text(); }
  int Cursor() const override { return static_cast<QLineEdit*>(widget())->cursorPosition(); }

  IpAddressEdit* edit_;
};

QAccessibleInterface* AddressInterfaces(const QString& className, QObject* object) {
  if (className == QLatin1String(IpAddressEdit::staticMetaObject.className())) {
    return new AddressAccessible(static_cast<IpAddressEdit*>(object));
  }
  if (className == QLatin1String("QLineEdit")) {
    if (auto* edit = qobject_cast<IpAddressEdit*>(object->parent())) {
      return new AddressPartAccessible(static_cast<QLineEdit*>(object), edit);
    }
  }
  return nullptr;
}

}  // namespace

void InstallIpAddressAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(AddressInterfaces);
    return true;
  }();
  (void)installed;
}

}  // namespace quillstone
