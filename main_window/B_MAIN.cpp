#include "main_window/B_MAIN.h"

#include "map_service/L_SHELL.h"
#include "map_service/L_VALUE.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDirIterator>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

namespace {

constexpr int TwipsPerPixel = 15; // at 96 dpi; Qt scales the pixels on high-dpi screens

int Px(int twips) {
    return twips / TwipsPerPixel;
}

template <typename W>
W *Positioned(W *widget, const QString &name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
    return widget;
}

constexpr int UnloadByControlMenu = 0, UnloadByCode = 1; // the close box, or the program
const QString Crlf = QStringLiteral("\r\n");

} // namespace

// The icons live in the window's static library, whose resource initialiser no code would
// otherwise reach.
static void LoadResources() {
    Q_INIT_RESOURCE(geodaten);
}

B_MAIN::B_MAIN(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("B_MAIN"));
    setWindowTitle(QStringLiteral("GEO Daten zur Adresse  mit %1 ermitteln")
                       .arg(QString::fromUtf8(L_QUERY::ActiveService().titleWord)));
    LoadResources();
    QIcon icon; // every size the build put into the resources
    for (QDirIterator it(QStringLiteral(":/geodaten/icons"), {QStringLiteral("geodaten-*.png")});
         it.hasNext();)
        icon.addFile(it.next());
    setWindowIcon(icon);
    img.insert(QStringLiteral("GEO"), QIcon(QStringLiteral(":/geodaten/icons/geo-row.png")));
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(Px(10380), Px(6450));
    BuildControls();
    ConnectHandlers();
    Form_Load();
}

// Created in tab order, so that the focus chain is the tab order.
void B_MAIN::BuildControls() {
    FM[0] = Positioned(new QGroupBox(QStringLiteral("Koordinaten zur Adresse : "), this),
                       QStringLiteral("FM(0)"), 60, 600, 10215, 5775);
    BuildSearchView();
    FM[1] = Positioned(new QGroupBox(QStringLiteral("Entfernung zweier Punkte : "), this),
                       QStringLiteral("FM(1)"), 10500, 600, 10215, 5775);
    optD[0] = Positioned(new QRadioButton(QStringLiteral("Koordinaten"), this),
                         QStringLiteral("optD(0)"), 60, 60, 1575, 375);
    optD[1] = Positioned(new QRadioButton(QStringLiteral("Entfernung"), this),
                         QStringLiteral("optD(1)"), 1680, 60, 1575, 375);
    cmdOK = Positioned(new QPushButton(QStringLiteral("&Beenden"), this), QStringLiteral("cmdOK"),
                       9060, 120, 1215, 375);
    BuildDistanceView();
    for (QLineEdit *box : {txtAdr, txtAdr1, txtAdr2, txtRLink})
        box->setMaxLength(std::numeric_limits<int>::max()); // Qt would cut at 32767, silently
}

void B_MAIN::BuildSearchView() {
    QGroupBox *frame = FM[0];
    cmdDo = Positioned(new QPushButton(QStringLiteral("Suchen"), frame), QStringLiteral("cmdDo"),
                       8400, 300, 1635, 315);
    lv = Positioned(new L_LSVIEW::ListView(frame), QStringLiteral("lv"), 180, 720, 9855, 4515);
    lv->setToolTip(QString::fromUtf8(L_QUERY::ActiveService().listTooltip));
    lv->setTabKeyNavigation(false); // Tab leaves the list along the tab order
    txtAdr = Positioned(new QLineEdit(frame), QStringLiteral("txtAdr"), 180, 300, 8055, 285);
    txtLG = Positioned(new QLineEdit(frame), QStringLiteral("txtLG"), 1260, 5340, 2475, 285);
    Label1 = Positioned(new QLabel(QStringLiteral("Länge : "), frame), QStringLiteral("Label1"),
                        240, 5340, 915, 255);
    txtBR = Positioned(new QLineEdit(frame), QStringLiteral("txtBR"), 5400, 5340, 2475, 285);
    Label2 = Positioned(new QLabel(QStringLiteral("Breite : "), frame), QStringLiteral("Label2"),
                        4380, 5340, 915, 255);
    cmdCopyLG = Positioned(new QPushButton(QStringLiteral("C"), frame), QStringLiteral("cmdCopyLG"),
                           3780, 5340, 255, 285);
    cmdCopyBR = Positioned(new QPushButton(QStringLiteral("C"), frame), QStringLiteral("cmdCopyBR"),
                           7920, 5340, 255, 285);
    for (QPushButton *copy : {cmdCopyLG, cmdCopyBR})
        copy->setToolTip(QStringLiteral("Kopieren der Koordinate"));
}

void B_MAIN::BuildDistanceView() {
    QGroupBox *frame = FM[1];
    txtAdr1 = Positioned(new QLineEdit(frame), QStringLiteral("txtAdr1"), 180, 300, 8055, 285);
    cmdDo1 = Positioned(new QPushButton(QStringLiteral("Berechnen"), frame),
                        QStringLiteral("cmdDo1"), 8400, 300, 1635, 615);
    txtAdr2 = Positioned(new QLineEdit(frame), QStringLiteral("txtAdr2"), 180, 660, 8055, 285);
    txtErg = Positioned(new QPlainTextEdit(frame), QStringLiteral("txtErg"), 180, 1080, 9855, 4095);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSizeF(9.75);
    txtErg->setFont(courier);
    txtErg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtErg->setReadOnly(true); // the program only ever writes the report
    cmdRoute = Positioned(new QPushButton(QStringLiteral("Route anzeigen"), frame),
                          QStringLiteral("cmdRoute"), 180, 5280, 1935, 315);
    // Only the store of the route link: shown, but the user never types into it.
    txtRLink = Positioned(new QLineEdit(frame), QStringLiteral("txtRLink"), 2280, 5280, 675, 285);
    txtRLink->setEnabled(false);
}

void B_MAIN::ConnectHandlers() {
    for (int index : {0, 1}) {
        connect(optD[index], &QRadioButton::clicked, this, [this, index] { optD_Click(index); });
        optD[index]->installEventFilter(this);
    }
    connect(cmdOK, &QPushButton::clicked, this, &B_MAIN::cmdOK_Click);
    connect(cmdDo, &QPushButton::clicked, this, &B_MAIN::cmdDo_Click);
    connect(txtAdr, &QLineEdit::returnPressed, this, [this] { txtAdr_KeyPress(13); });
    connect(lv, &L_LSVIEW::ListView::ItemClick, this, &B_MAIN::lv_ItemClick);
    connect(lv, &L_LSVIEW::ListView::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint at) {
                lv_MouseDown(int(button), int(shift), at.x(), at.y());
            });
    connect(lv, &L_LSVIEW::ListView::DblClick, this, &B_MAIN::lv_DblClick);
    connect(cmdCopyLG, &QPushButton::clicked, this, &B_MAIN::cmdCopyLG_Click);
    connect(cmdCopyBR, &QPushButton::clicked, this, &B_MAIN::cmdCopyBR_Click);
    connect(cmdDo1, &QPushButton::clicked, this, &B_MAIN::cmdDo1_Click);
    connect(cmdRoute, &QPushButton::clicked, this, &B_MAIN::cmdRoute_Click);
}

void B_MAIN::Form_Load() {
    InitResultList(lv);
    txtAdr->setText(QStringLiteral("9220 Velden AT"));
    txtAdr1->setText(QStringLiteral("9220 Velden AT"));
    txtAdr2->setText(QStringLiteral("9500 Villach AT"));
    QRect rect = FM[1]->geometry();
    rect.moveLeft(FM[0]->x());
    rect.moveTop(FM[0]->y());
    rect.setHeight(FM[0]->height());
    rect.setWidth(FM[0]->width());
    FM[1]->setGeometry(rect);
    optD[0]->setChecked(true); // switching it on raises its click
    optD_Click(0);
}

void B_MAIN::InitResultList(L_LSVIEW::ListView *list) {
    list->setColumnCount(4);
    list->setHorizontalHeaderLabels(
        {QStringLiteral("Adresse"), QStringLiteral("Länge"), QStringLiteral("Breite"), QString()});
    L_LSVIEW::LvGridLines(list, L_LSVIEW::On);
    L_LSVIEW::LvFullRowSelect(list, L_LSVIEW::On);
    L_LSVIEW::LvSetColumnWidths(list, -1, L_LSVIEW::LVSCW_AUTOSIZE_USEHEADER);
}

void B_MAIN::optD_Click(int index) {
    ShowView(index);
}

void B_MAIN::ShowView(int index) {
    FM[0]->hide();
    FM[1]->hide();
    FM[index]->show();
    if (isVisible()) cmdOK->setFocus(); // before the first show, focus goes to cmdDo
}

B_MAIN::~B_MAIN() {
    L_WAIT::Join(wait.helper);
}

// While a road runs, the window sees every event first (AwaitRoad) and holds the user's
// input back or drops it. An arrow key on an option button switches the view by a click,
// after which Qt gives the focus back to the button; it belongs on "&Beenden" after every
// switch.
bool B_MAIN::eventFilter(QObject *watched, QEvent *event) {
    if (L_WAIT::Take(wait, watched, event, this, lv, cmdOK)) return true;
    if (event->type() != QEvent::KeyPress || (watched != optD[0] && watched != optD[1]))
        return QWidget::eventFilter(watched, event);
    const int index = FM[1]->isVisible() ? 1 : 0;
    static_cast<QObject *>(watched)->event(event); // the key press as Qt handles it
    if ((FM[1]->isVisible() ? 1 : 0) != index) cmdOK->setFocus();
    return true;
}

void B_MAIN::cmdOK_Click() {
    close();
}

void B_MAIN::closeEvent(QCloseEvent *event) {
    if (wait.now) { // the road gives up at once; the window closes when it has returned
        wait.closeAsked = true;
        wait.stop = true;
        event->ignore();
        return;
    }
    bool cancel = false;
    Form_QueryUnload(cancel, event->spontaneous() ? UnloadByControlMenu : UnloadByCode);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload(cancel);
}

void B_MAIN::Form_QueryUnload(bool &cancel, int /*unloadMode*/) {
    cancel = false;
}

void B_MAIN::Form_Unload(bool & /*cancel*/) {
    L_WAIT::Join(wait.helper);
    QCoreApplication::quit();
}

void B_MAIN::cmdDo_Click() {
    lv->setRowCount(0);
    curItem = nullptr;
    QString address = txtAdr->text();
    if (address.isEmpty()) return;
    L_GEOGOG::GeoQuery query;
    RunGeocodeQuery(query, address);
    const QIcon &icon = img[QStringLiteral("GEO")];
    for (int hit = 1; hit <= query.HitCount; ++hit) {
        QTableWidgetItem *row = lv->AddRow(query.HitAddresses[hit], icon);
        lv->item(row->row(), 1)->setText(L_VALUE::FormatGeneral(query.HitLongitudes[hit]));
        lv->item(row->row(), 2)->setText(L_VALUE::FormatGeneral(query.HitLatitudes[hit]));
    }
    L_LSVIEW::LvSetColumnWidths(lv, -1, L_LSVIEW::LVSCW_AUTOSIZE_USEHEADER);
}

void B_MAIN::txtAdr_KeyPress(int keyAscii) {
    if (keyAscii == 13) cmdDo->click();
}

void B_MAIN::lv_ItemClick(QTableWidgetItem *row) {
    curItem = row;
}

void B_MAIN::lv_MouseDown(int /*button*/, int /*shift*/, int x, int y) {
    curItem = lv->RowAt(QPoint(x, y));
    ShowSelectedCoordinates();
}

void B_MAIN::lv_DblClick() {
    if (L_LSVIEW::LvItemIsNothing(curItem)) return;
    const int row = curItem->row();
    const double longitude = L_VALUE::ParseLocaleNumber(lv->item(row, 1)->text());
    const double latitude = L_VALUE::ParseLocaleNumber(lv->item(row, 2)->text());
    L_QUERY::ShowHitOnMap(latitude, longitude);
}

void B_MAIN::ShowSelectedCoordinates() {
    if (L_LSVIEW::LvItemIsSet(curItem)) {
        txtLG->setText(lv->item(curItem->row(), 1)->text());
        txtBR->setText(lv->item(curItem->row(), 2)->text());
    } else {
        txtLG->clear();
        txtBR->clear();
    }
}

void B_MAIN::cmdCopyLG_Click() {
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(txtLG->text());
}

void B_MAIN::cmdCopyBR_Click() {
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(txtBR->text());
}

void B_MAIN::cmdDo1_Click() {
    SetReport(QString());
    QString origin = txtAdr1->text();
    if (origin.isEmpty()) return;
    QString destination = txtAdr2->text();
    if (destination.isEmpty()) return;
    L_GEOGOG::RouteQuery query;
    RunRouteQuery(query, origin, destination);
    QString report;
    report += QStringLiteral("Startadresse : ") + query.Origin + Crlf;
    report += QStringLiteral("      Länge  : ") + query.StartLongitude + Crlf;
    report += QStringLiteral("      Breite : ") + query.StartLatitude + Crlf;
    report += Crlf;
    report += QStringLiteral("Endadresse   : ") + query.Destination + Crlf;
    report += QStringLiteral("      Länge  : ") + query.EndLongitude + Crlf;
    report += QStringLiteral("      Breite : ") + query.EndLatitude + Crlf;
    report += Crlf;
    report += QStringLiteral("Luftlinie    : ") + query.StraightDistance + Crlf;
    report += Crlf;
    report += QStringLiteral("Entfernung   : ") + query.DrivingDistance + Crlf;
    report += QStringLiteral("Fahrtzeit    : ") + query.DrivingTime + Crlf;
    SetReport(report);
    txtRLink->setText(BuildRouteLink(query));
    txtRLink->setCursorPosition(0); // the narrow box shows where the link starts
}

void B_MAIN::cmdRoute_Click() {
    L_SHELL::ShellOpen(qintptr(winId()), txtRLink->text(), QString(), 1);
}

// The report keeps its CR LF line ends in the box's "Text" property; the editor itself
// shows lines.
void B_MAIN::SetReport(const QString &text) {
    txtErg->setProperty("Text", text);
    txtErg->setPlainText(QString(text).replace(Crlf, QStringLiteral("\n")));
}

bool B_MAIN::RunGeocodeQuery(L_GEOGOG::GeoQuery &query, QString &address) {
    return AwaitRoad([&] { return L_QUERY::QueryGeocode(query, address); });
}

bool B_MAIN::RunRouteQuery(L_GEOGOG::RouteQuery &query, QString &origin, QString &destination) {
    return AwaitRoad([&] { return L_QUERY::QueryRoute(query, origin, destination); });
}

QString B_MAIN::BuildRouteLink(const L_GEOGOG::RouteQuery &query) {
    return L_QUERY::QueryRouteLink(query);
}

bool B_MAIN::AwaitRoad(const std::function<bool()> &road) {
    const bool result = L_WAIT::Await(wait, this, road);
    QMetaObject::invokeMethod(this, &B_MAIN::AfterWait, Qt::QueuedConnection);
    return result;
}

void B_MAIN::AfterWait() {
    if (wait.now) return; // the wait that runs now does this when it ends
    std::vector<L_WAIT::Held> input = std::exchange(wait.held, {});
    if (std::exchange(wait.closeAsked, false))
        close();
    else
        L_WAIT::Deliver(std::move(input));
}
