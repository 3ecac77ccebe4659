#include "framework/ui/StdCtrls.h"

#include "framework/core/TextCompare.h"
#include "framework/graphics/Bitmap.h"
#include "framework/ui/Application.h"
#include "framework/ui/QtSupport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStringList>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <optional>

namespace {
// A text field's colours: its own background and the font's colour.
QPalette fieldPalette(QPalette palette, TColor background, TColor text)
{
    palette.setColor(QPalette::Base, toQtColor(background));
    palette.setColor(QPalette::Text, toQtColor(text));
    palette.setColor(QPalette::ButtonText, toQtColor(text));
    return palette;
}
} // namespace

// ------------------------------------------------------------------------------ TLabel

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 65, 17);
}

void TLabel::SetTransparent(bool value)
{
    if (value != m_transparent) {
        m_transparent = value;
        Invalidate();
    }
}

void TLabel::SetAlignment(TAlignment value)
{
    m_alignment = value;
    Invalidate();
}

void TLabel::SetWordWrap(bool value)
{
    m_wordWrap = value;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool value)
{
    m_showAccelChar = value;
    Invalidate();
}

void TLabel::Paint()
{
    TCanvas& canvas = Canvas();
    if (!m_transparent) {
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(Color());
        canvas.FillRect(ClientRect());
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().CopyFrom(&Font());
    uint32_t flags = tfLeft;
    if (m_alignment == TAlignment::taCenter)
        flags = tfCenter;
    else if (m_alignment == TAlignment::taRightJustify)
        flags = tfRight;
    if (m_wordWrap)
        flags |= tfWordBreak;
    if (!m_showAccelChar)
        flags |= tfNoPrefix;
    TRect r = ClientRect();
    if (!Enabled()) {
        // Disabled text: white relief one pixel down and right, grey text over it.
        TRect shadow = r.Offset(1, 1);
        canvas.Font().SetColor(clBtnHighlight);
        canvas.DrawText(Caption(), shadow, flags);
        canvas.Font().SetColor(clBtnShadow);
    }
    canvas.DrawText(Caption(), r, flags);
}

// ------------------------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
    auto* edit = new QLineEdit;
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this](const QString&) {
        GuardedCall([this] {
            if (OnChange)
                OnChange(this);
        });
    });
    AttachWidget(edit);
    applyPalette();
}

std::string TEdit::Text() const
{
    auto* edit = static_cast<QLineEdit*>(Widget());
    return edit ? fromQt(edit->text()) : std::string();
}

void TEdit::SetText(const std::string& value)
{
    if (auto* edit = static_cast<QLineEdit*>(Widget()))
        edit->setText(toQt(value));
}

void TEdit::SetReadOnly(bool value)
{
    m_readOnly = value;
    if (auto* edit = static_cast<QLineEdit*>(Widget()))
        edit->setReadOnly(value);
}

void TEdit::SetMaxLength(int value)
{
    m_maxLength = value;
    if (auto* edit = static_cast<QLineEdit*>(Widget()))
        edit->setMaxLength(value > 0 ? value : 32767);
}

void TEdit::FontChanged()
{
    TWinControl::FontChanged();
    applyPalette();
}

void TEdit::ColorChanged()
{
    applyPalette();
}

void TEdit::applyPalette()
{
    if (QWidget* w = Widget())
        w->setPalette(fieldPalette(w->palette(), Color(), Font().Color()));
}

// ----------------------------------------------------------------------------- TButton

namespace {

// A focused push button takes Enter as it takes Space, in any window; Qt's own button
// does so only inside a dialog.
class ButtonWidget final : public QPushButton {
protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->isAutoRepeat()) {
            click();
            return;
        }
        QPushButton::keyPressEvent(e);
    }
};

} // namespace

TButton::TButton(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 75, 25);
    auto* button = new ButtonWidget;
    QObject::connect(button, &QPushButton::clicked, button, [this] { GuardedCall([this] { Click(); }); });
    AttachWidget(button);
}

void TButton::SetText(const std::string& value)
{
    TWinControl::SetText(value);
    if (auto* button = static_cast<QPushButton*>(Widget()))
        button->setText(toQt(value));
}

// --------------------------------------------------------------------------- TComboBox

void DrawFocusRect(TCanvas& canvas, const TRect& rect)
{
    if (rect.IsEmpty())
        return;
    auto invert = [&](int x, int y) {
        const TColor c = canvas.Pixel(x, y);
        if (c != clNone)
            canvas.SetPixel(x, y, c ^ 0x00FFFFFF);
    };
    for (int x = rect.left; x < rect.right; ++x) {
        if (((x - rect.left) & 1) == 0) {
            invert(x, rect.top);
            if (rect.bottom - 1 > rect.top)
                invert(x, rect.bottom - 1);
        }
    }
    for (int y = rect.top + 1; y < rect.bottom - 1; ++y) {
        if (((y - rect.top) & 1) == 0) {
            invert(rect.left, y);
            if (rect.right - 1 > rect.left)
                invert(rect.right - 1, y);
        }
    }
}

namespace {

// Paints an entry through the framework's canvas, then shows that bitmap.
void paintEntry(QPainter& painter, TComboBox& combo, int index, const QRect& rect, bool selected, bool focused)
{
    if (rect.isEmpty())
        return;
    TBitmap bitmap(rect.width(), rect.height(), TPixelFormat::pfDevice);
    combo.DrawItem(bitmap.Canvas(), index, Rect(0, 0, rect.width(), rect.height()), selected, focused);
    const QImage image(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.RowStride()),
                       QImage::Format_RGB32);
    painter.drawImage(rect.topLeft(), image);
}

class ItemDelegate final : public QStyledItemDelegate {
public:
    ItemDelegate(TComboBox& combo, QObject* parent) : QStyledItemDelegate(parent), m_combo(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (m_combo.Style() != TComboBoxStyle::csOwnerDrawFixed) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        GuardedCall([&] {
            paintEntry(*painter, m_combo, index.row(), option.rect, option.state & QStyle::State_Selected,
                       option.state & QStyle::State_HasFocus);
        });
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(m_combo.ItemHeight());
        return size;
    }

private:
    TComboBox& m_combo;
};

// Some styles open a pick list over the box, as long as all its entries and as wide as
// the longest; both of the box's styles drop the list down below it instead (above
// without room), as wide as the box and DropDownCount entries high.
class DropDownStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

class ComboWidget final : public QComboBox {
public:
    explicit ComboWidget(TComboBox& combo) : m_combo(combo)
    {
        // Before the list exists, which reads the hint when it is made.
        auto* style = new DropDownStyle;
        style->setParent(this);
        setStyle(style);
        setInsertPolicy(QComboBox::NoInsert);
        setItemDelegate(new ItemDelegate(combo, this));
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (isEditable() || m_combo.Style() != TComboBoxStyle::csOwnerDrawFixed) {
            QComboBox::paintEvent(e);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentText.clear();
        option.currentIcon = QIcon();
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        // Without a picked entry the focused box shows only the focus frame.
        const bool selected = hasFocus() && currentIndex() >= 0;
        GuardedCall([&] { paintEntry(painter, m_combo, currentIndex(), field, selected, hasFocus()); });
    }

private:
    TComboBox& m_combo;
};

} // namespace

// The entries, mirrored as UTF-8 so reading them costs no conversion.
//
// Qt moves the current entry to a neighbour when it is removed, picks the first entry put
// into an empty list, and rewrites the edit text whenever the current row moves. The box
// does none of that: entries come and go under the one that is shown, removing the shown
// entry shows none, and the editable box keeps what was typed.
class ComboItems final : public TStrings {
public:
    explicit ComboItems(TComboBox& combo) : m_combo(combo) {}

    int Count() const override { return static_cast<int>(m_items.size()); }
    std::string Get(int index) const override
    {
        if (index < 0 || index >= Count())
            throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
        return m_items[static_cast<size_t>(index)];
    }
    int Add(const std::string& text) override
    {
        const int index = m_combo.Sorted() ? SortedInsertIndex(*this, text) : Count();
        insertAt(index, text);
        return index;
    }
    void Insert(int index, const std::string& text) override
    {
        if (index < 0 || index > Count())
            throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
        insertAt(index, text);
    }
    void Delete(int index) override
    {
        if (index == -1)
            return;
        if (index < 0 || index >= Count())
            throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
        QComboBox* box = m_combo.box();
        const int shown = box->currentIndex();
        // The editable box empties when its text names the entry that goes (picked or
        // typed), unless a shown entry that stays has the same text.
        const QString text = box->currentText();
        const bool textGoes = text == box->itemText(index) && (shown == index || box->itemText(shown) != text);
        const int shownAfter = shown == index ? -1 : shown > index ? shown - 1 : shown;
        m_items.erase(m_items.begin() + index);
        change([&] { box->removeItem(index); }, shownAfter, textGoes);
    }
    void Clear() override
    {
        m_items.clear();
        m_combo.box()->clear();
    }
    void AddStrings(const std::vector<std::string>& texts) override
    {
        const std::optional<std::string> shown = shownEntry();
        m_items.insert(m_items.end(), texts.begin(), texts.end());
        if (m_combo.Sorted())
            SortTexts(m_items);
        rebuild(shown);
    }

    void Sort()
    {
        const std::optional<std::string> shown = shownEntry();
        SortTexts(m_items);
        rebuild(shown);
    }

private:
    void insertAt(int index, const std::string& text)
    {
        m_items.insert(m_items.begin() + index, text);
        QComboBox* box = m_combo.box();
        const int shown = box->currentIndex();
        change([&] { box->insertItem(index, toQt(text)); }, shown >= index ? shown + 1 : shown, false);
    }

    std::optional<std::string> shownEntry() const
    {
        const int index = m_combo.box()->currentIndex();
        if (index < 0)
            return std::nullopt;
        return m_items[static_cast<size_t>(index)];
    }

    // One model reset instead of one insertion per entry; the entry that was shown is
    // found again by its text.
    void rebuild(const std::optional<std::string>& shown)
    {
        QStringList list;
        list.reserve(static_cast<qsizetype>(m_items.size()));
        for (const auto& item : m_items)
            list << toQt(item);
        int index = -1;
        if (shown)
            if (const auto it = std::find(m_items.begin(), m_items.end(), *shown); it != m_items.end())
                index = static_cast<int>(it - m_items.begin());
        QComboBox* box = m_combo.box();
        change(
            [&] {
                box->clear();
                box->addItems(list);
            },
            index, false);
    }

    // Runs a change of Qt's list without its reactions, then shows entry `shown` (-1:
    // none) with the edit text as it was, or empty.
    template <typename Change>
    void change(Change&& apply, int shown, bool clearText)
    {
        QComboBox* box = m_combo.box();
        const QString text = box->isEditable() && !clearText ? box->currentText() : QString();
        const QSignalBlocker block(box);
        apply();
        box->setCurrentIndex(shown);
        if (box->isEditable())
            box->setEditText(text);
        box->update();
    }

    TComboBox& m_combo;
    std::vector<std::string> m_items;
};

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetBounds(0, 0, 145, 21);
    auto* box = new ComboWidget(*this);
    AttachWidget(box);
    m_items = std::make_unique<ComboItems>(*this);
    QObject::connect(box, &QComboBox::activated, box, [this](int) { GuardedCall([this] { Click(); }); });
    QObject::connect(box, &QComboBox::editTextChanged, box, [this](const QString&) {
        GuardedCall([this] {
            if (OnChange)
                OnChange(this);
        });
    });
    applyStyle();
    applyPalette();
}

TComboBox::~TComboBox() = default;

QComboBox* TComboBox::box() const
{
    return static_cast<QComboBox*>(Widget());
}

TStrings& TComboBox::Items()
{
    return *m_items;
}

void TComboBox::SetStyle(TComboBoxStyle value)
{
    if (value == m_style)
        return;
    const std::string text = Text();
    m_style = value;
    applyStyle();
    QComboBox* b = box();
    const QSignalBlocker block(b);
    b->setCurrentIndex(-1);
    if (b->isEditable())
        b->setEditText(toQt(text).left(255));
    b->update();
}

void TComboBox::applyStyle()
{
    QComboBox* b = box();
    const bool editable = m_style == TComboBoxStyle::csDropDown;
    if (b->isEditable() != editable) {
        const QSignalBlocker block(b);
        b->setEditable(editable);
        if (editable) {
            b->lineEdit()->setMaxLength(255);
            b->setCompleter(nullptr);
        }
    }
    b->setMaxVisibleItems(m_dropDownCount);
    applyPalette();
}

void TComboBox::SetSorted(bool value)
{
    if (value == m_sorted)
        return;
    m_sorted = value;
    if (value)
        static_cast<ComboItems&>(*m_items).Sort();
}

int TComboBox::ItemIndex() const
{
    return box()->currentIndex();
}

void TComboBox::SetItemIndex(int index)
{
    const QSignalBlocker block(box());
    box()->setCurrentIndex(index);
}

void TComboBox::SetItemHeight(int value)
{
    m_itemHeight = value;
    box()->view()->doItemsLayout();
}

void TComboBox::SetDropDownCount(int value)
{
    m_dropDownCount = value;
    box()->setMaxVisibleItems(value);
}

bool TComboBox::DroppedDown() const
{
    return box()->view()->isVisible();
}

void TComboBox::SetDroppedDown(bool value)
{
    if (value)
        box()->showPopup();
    else
        box()->hidePopup();
}

std::string TComboBox::Text() const
{
    QComboBox* b = box();
    if (b->isEditable())
        return fromQt(b->currentText());
    return b->currentIndex() >= 0 ? m_items->Get(b->currentIndex()) : std::string();
}

void TComboBox::SetText(const std::string& value)
{
    QComboBox* b = box();
    if (b->isEditable()) {
        b->setEditText(toQt(value).left(255));
        return;
    }
    // A pick list can only show one of its entries.
    const QSignalBlocker block(b);
    b->setCurrentIndex(m_items->IndexOf(value));
}

void TComboBox::FontChanged()
{
    TWinControl::FontChanged();
    applyPalette();
}

void TComboBox::ColorChanged()
{
    applyPalette();
}

void TComboBox::applyPalette()
{
    QWidget* w = Widget();
    if (!w)
        return;
    const QPalette palette = fieldPalette(w->palette(), Color(), Font().Color());
    w->setPalette(palette);
    if (auto* b = box(); b->view())
        b->view()->setPalette(palette);
}

void TComboBox::DrawItem(TCanvas& canvas, int index, const TRect& rect, bool selected, bool focused)
{
    canvas.Font().CopyFrom(&Font());
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    if (selected) {
        canvas.Brush().SetColor(clHighlight);
        canvas.Font().SetColor(clHighlightText);
    } else {
        canvas.Brush().SetColor(Color());
    }
    canvas.FillRect(rect);
    if (index >= 0 && index < m_items->Count())
        canvas.TextOut(rect.left + 2, rect.top, m_items->Get(index));
    if (focused)
        DrawFocusRect(canvas, rect);
}
