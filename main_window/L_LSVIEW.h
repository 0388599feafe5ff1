#pragma once
// A report-style list control on a Qt item view, and the helpers that fit its column
// widths and switch its extended style bits through list-view messages.
#include <QTableWidget>

namespace L_LSVIEW {

constexpr quint32 LVM_SETCOLUMNWIDTH = 0x101E;
constexpr quint32 LVM_SETEXTENDEDLISTVIEWSTYLE = 0x1036;
constexpr quint32 LVM_GETEXTENDEDLISTVIEWSTYLE = 0x1037;
constexpr qint32 LVSCW_AUTOSIZE = -1;           // widest cell
constexpr qint32 LVSCW_AUTOSIZE_USEHEADER = -2; // widest of cells and header; last column fills
constexpr quint32 LVS_EX_GRIDLINES = 1;
constexpr quint32 LVS_EX_FULLROWSELECT = 32;
constexpr int ViewReport = 3;
constexpr qint16 On = -1; // a 16-bit boolean: true has all bits set
constexpr qint16 Off = 0;

// The list control. A row reference is the row's first cell, or none (nullptr).
class ListView : public QTableWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget *parent = nullptr);

    int View = ViewReport; // 0 icons, 1 small icons, 2 list, 3 report

    // The control's message entry: the three list-view messages above; 0 for others.
    qintptr SendMessage(quint32 message, qintptr wParam, qintptr lParam);
    // Appends a row: icon and text in column 1, empty cells in the others.
    QTableWidgetItem *AddRow(const QString &text, const QIcon &icon);
    // The row reference at a point of the viewport, or none below the rows.
    QTableWidgetItem *RowAt(const QPoint &position) const;

Q_SIGNALS:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);
    void ItemClick(QTableWidgetItem *row);
    void DblClick();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    quint32 extendedStyle = 0;
    bool SetColumnWidthMessage(int column, qint32 width);
    void SetExtendedStyle(quint32 style);
};

// Width of one column (1-based, or -1 for all) with the list hidden meanwhile, so that it
// is drawn once with its final widths. A list of none does nothing.
void LvSetColumnWidths(ListView *list, int column, qint32 width);
// LvSetColumnWidth for columns 1..n, n read once.
void LvSetAllColumnWidths(ListView *list, qint32 width);
// Sends LVM_SETCOLUMNWIDTH only in report view and for 1 <= column <= n.
void LvSetColumnWidth(ListView *list, int column, qint32 width);
// Read-modify-write of the extended style: sets or clears `bits`, keeps all others.
void LvSetExStyle(ListView *list, quint32 bits, qint16 on);
void LvGridLines(ListView *list, qint16 on);
void LvFullRowSelect(ListView *list, qint16 on);
bool LvItemIsSet(const QTableWidgetItem *row);
bool LvItemIsNothing(const QTableWidgetItem *row);

} // namespace L_LSVIEW
