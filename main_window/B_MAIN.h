#pragma once
// The program's only window: the coordinate search view FM(0) and the distance view
// FM(1) on one spot, chosen by optD, and "&Beenden". Controls are built in code at the
// fixed twips geometry of the layout; every handler reads controls, calls the core and
// writes controls.
#include "main_window/L_LSVIEW.h"
#include "main_window/L_WAIT.h"
#include "map_service/L_QUERY.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class B_MAIN : public QWidget {
    Q_OBJECT
public:
    explicit B_MAIN(QWidget *parent = nullptr);
    ~B_MAIN() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRadioButton *optD[2] = {};
    QPushButton *cmdOK = nullptr;
    QGroupBox *FM[2] = {};
    QLineEdit *txtAdr = nullptr;
    QPushButton *cmdDo = nullptr;
    L_LSVIEW::ListView *lv = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtLG = nullptr;
    QPushButton *cmdCopyLG = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtBR = nullptr;
    QPushButton *cmdCopyBR = nullptr;
    QLineEdit *txtAdr1 = nullptr;
    QLineEdit *txtAdr2 = nullptr;
    QPushButton *cmdDo1 = nullptr;
    QPlainTextEdit *txtErg = nullptr;
    QPushButton *cmdRoute = nullptr;
    QLineEdit *txtRLink = nullptr;
    QHash<QString, QIcon> img;           // the image list: key "GEO", the row icon
    QTableWidgetItem *curItem = nullptr; // the current row, or none; not the selection

    L_WAIT::Waiting wait; // the helper thread that runs every road, and what came meanwhile

    void BuildControls();
    void BuildSearchView();
    void BuildDistanceView();
    void ConnectHandlers();

    // Start, views, closing.
    void Form_Load();
    void InitResultList(L_LSVIEW::ListView *list);
    void optD_Click(int index);
    void ShowView(int index);
    void cmdOK_Click();
    void Form_QueryUnload(bool &cancel, int unloadMode);
    void Form_Unload(bool &cancel);

    // Coordinate search view.
    void cmdDo_Click();
    void txtAdr_KeyPress(int keyAscii);
    void lv_ItemClick(QTableWidgetItem *row);
    void lv_MouseDown(int button, int shift, int x, int y);
    void lv_DblClick();
    void ShowSelectedCoordinates();
    void cmdCopyLG_Click();
    void cmdCopyBR_Click();

    // Distance view.
    void cmdDo1_Click();
    void cmdRoute_Click();
    void SetReport(const QString &text);

    // The window's own queries: they return once the answer is downloaded and read.
    bool RunGeocodeQuery(L_GEOGOG::GeoQuery &query, QString &address);
    bool RunRouteQuery(L_GEOGOG::RouteQuery &query, QString &origin, QString &destination);
    QString BuildRouteLink(const L_GEOGOG::RouteQuery &query);
    // Runs the road on the helper thread while the handler waits for it here: the window
    // repaints and shows the wait cursor, the user's input waits until the answer is there
    // (clicks into the list are dropped), and the whole road ends within the total timeout.
    // A close request, or "&Beenden", makes the road give up at once.
    bool AwaitRoad(const std::function<bool()> &road);
    // Once the handler that waited has returned: the close asked for meanwhile, or else the
    // input held back, in its order.
    void AfterWait();
};
