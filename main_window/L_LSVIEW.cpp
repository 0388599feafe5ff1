#include "main_window/L_LSVIEW.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace L_LSVIEW {

ListView::ListView(QWidget *parent) : QTableWidget(parent) {
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setIconSize(QSize(16, 16));
    setSortingEnabled(false);
    SetExtendedStyle(0);
    connect(this, &QTableWidget::itemClicked, this,
            [this](QTableWidgetItem *cell) { Q_EMIT ItemClick(item(cell->row(), 0)); });
}

qintptr ListView::SendMessage(quint32 message, qintptr wParam, qintptr lParam) {
    switch (message) {
    case LVM_SETCOLUMNWIDTH:
        return SetColumnWidthMessage(int(wParam), qint32(lParam)) ? 1 : 0;
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return qintptr(extendedStyle);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const quint32 previous = extendedStyle;
        const quint32 mask = wParam == 0 ? ~0u : quint32(wParam); // 0: lParam is the whole style
        SetExtendedStyle((previous & ~mask) | (quint32(lParam) & mask));
        return qintptr(previous);
    }
    default:
        return 0;
    }
}

QTableWidgetItem *ListView::AddRow(const QString &text, const QIcon &icon) {
    const int row = rowCount();
    insertRow(row);
    auto *first = new QTableWidgetItem(icon, text);
    setItem(row, 0, first);
    for (int column = 1; column < columnCount(); ++column)
        setItem(row, column, new QTableWidgetItem());
    return first;
}

QTableWidgetItem *ListView::RowAt(const QPoint &position) const {
    const int row = rowAt(position.y());
    return row < 0 ? nullptr : item(row, 0);
}

void ListView::mousePressEvent(QMouseEvent *event) {
    Q_EMIT MouseDown(event->button(), event->modifiers(), event->position().toPoint());
    QTableWidget::mousePressEvent(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent *event) {
    QTableWidget::mouseDoubleClickEvent(event);
    Q_EMIT DblClick();
}

bool ListView::SetColumnWidthMessage(int column, qint32 width) {
    if (column < 0 || column >= columnCount()) return false;
    QHeaderView *header = horizontalHeader();
    const bool last = column == columnCount() - 1;
    header->setStretchLastSection(false);
    if (width >= 0) {
        setColumnWidth(column, width);
        return true;
    }
    if (width != LVSCW_AUTOSIZE && width != LVSCW_AUTOSIZE_USEHEADER) return false;
    const int cells = qMax(sizeHintForColumn(column), 0);
    const int fitted =
        width == LVSCW_AUTOSIZE ? cells : qMax(cells, header->sectionSizeHint(column));
    setColumnWidth(column, qMax(fitted, 8));
    // Fitted last with the header, the last column takes the rest of the list's width, and
    // keeps it when a scroll bar comes or goes.
    if (last && width == LVSCW_AUTOSIZE_USEHEADER) header->setStretchLastSection(true);
    return true;
}

void ListView::SetExtendedStyle(quint32 style) {
    extendedStyle = style;
    setShowGrid(style & LVS_EX_GRIDLINES);
    setSelectionBehavior(style & LVS_EX_FULLROWSELECT ? QAbstractItemView::SelectRows
                                                      : QAbstractItemView::SelectItems);
}

void LvSetColumnWidths(ListView *list, int column, qint32 width) {
    if (!list) return;
    list->setVisible(false);
    if (column == -1)
        LvSetAllColumnWidths(list, width);
    else
        LvSetColumnWidth(list, column, width);
    list->setVisible(true);
}

void LvSetAllColumnWidths(ListView *list, qint32 width) {
    const int columns = list->columnCount();
    for (int column = 1; column <= columns; ++column) LvSetColumnWidth(list, column, width);
}

void LvSetColumnWidth(ListView *list, int column, qint32 width) {
    if (list->View != ViewReport || column < 1 || column > list->columnCount()) return;
    list->SendMessage(LVM_SETCOLUMNWIDTH, column - 1, width);
}

void LvSetExStyle(ListView *list, quint32 bits, qint16 on) {
    auto style = quint32(list->SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    style = on ? (style | bits) : (style & ~bits);
    list->SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, qintptr(style));
}

void LvGridLines(ListView *list, qint16 on) {
    LvSetExStyle(list, LVS_EX_GRIDLINES, on);
}

void LvFullRowSelect(ListView *list, qint16 on) {
    LvSetExStyle(list, LVS_EX_FULLROWSELECT, on);
}

bool LvItemIsSet(const QTableWidgetItem *row) {
    return row != nullptr;
}

bool LvItemIsNothing(const QTableWidgetItem *row) {
    return row == nullptr;
}

} // namespace L_LSVIEW
