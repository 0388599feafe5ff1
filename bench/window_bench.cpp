// The window's cold start under a private Xvfb: the time from exec to the window mapped,
// and the process's resident memory and shared libraries once it is mapped, against a bare
// Qt window with the same widgets and nothing of the core (this program with --bare). The
// contenders alternate rep by rep, each in a process of its own, so that neither inherits
// the other's memory.
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTableWidget>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int Reps = 11;
constexpr int SettleMs = 300; // after the map: the first paint, before memory is read

// --- The bare contender: the window's widget tree, built as B_MAIN builds it. ---

template <typename W> W *Place(W *widget, int left, int top, int width, int height) {
    widget->setGeometry(left / 15, top / 15, width / 15, height / 15);
    return widget;
}

int Bare(int argc, char **argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("GEO Daten zur Adresse  mit OpenStreetMap ermitteln"));
    QIcon icon;
    for (QDirIterator it(QStringLiteral(":/geodaten/icons"), {QStringLiteral("geodaten-*.png")});
         it.hasNext();)
        icon.addFile(it.next());
    window.setWindowIcon(icon);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    window.setFont(font);
    window.setFixedSize(692, 430);
    auto *search = Place(new QGroupBox(QStringLiteral("Koordinaten zur Adresse : "), &window), 60,
                         600, 10215, 5775);
    Place(new QPushButton(QStringLiteral("Suchen"), search), 8400, 300, 1635, 315);
    auto *list = Place(new QTableWidget(0, 4, search), 180, 720, 9855, 4515);
    list->setHorizontalHeaderLabels(
        {QStringLiteral("Adresse"), QStringLiteral("Länge"), QStringLiteral("Breite"), QString()});
    list->verticalHeader()->hide();
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setStretchLastSection(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setToolTip(QStringLiteral("Doppelklick zum Öffnen in OpenStreetMap"));
    Place(new QLineEdit(QStringLiteral("9220 Velden AT"), search), 180, 300, 8055, 285);
    Place(new QLineEdit(search), 1260, 5340, 2475, 285);
    Place(new QLabel(QStringLiteral("Länge : "), search), 240, 5340, 915, 255);
    Place(new QLineEdit(search), 5400, 5340, 2475, 285);
    Place(new QLabel(QStringLiteral("Breite : "), search), 4380, 5340, 915, 255);
    Place(new QPushButton(QStringLiteral("C"), search), 3780, 5340, 255, 285);
    Place(new QPushButton(QStringLiteral("C"), search), 7920, 5340, 255, 285);
    auto *distance = Place(new QGroupBox(QStringLiteral("Entfernung zweier Punkte : "), &window),
                           60, 600, 10215, 5775);
    Place(new QRadioButton(QStringLiteral("Koordinaten"), &window), 60, 60, 1575, 375)
        ->setChecked(true);
    Place(new QRadioButton(QStringLiteral("Entfernung"), &window), 1680, 60, 1575, 375);
    Place(new QPushButton(QStringLiteral("&Beenden"), &window), 9060, 120, 1215, 375);
    Place(new QLineEdit(QStringLiteral("9220 Velden AT"), distance), 180, 300, 8055, 285);
    Place(new QPushButton(QStringLiteral("Berechnen"), distance), 8400, 300, 1635, 615);
    Place(new QLineEdit(QStringLiteral("9500 Villach AT"), distance), 180, 660, 8055, 285);
    auto *report = Place(new QPlainTextEdit(distance), 180, 1080, 9855, 4095);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSizeF(9.75);
    report->setFont(courier);
    Place(new QPushButton(QStringLiteral("Route anzeigen"), distance), 180, 5280, 1935, 315);
    Place(new QLineEdit(distance), 2280, 5280, 675, 285)->setEnabled(false);
    distance->hide();
    QApplication::setWindowIcon(icon);
    window.show();
    return QApplication::exec();
}

// --- The measurement. ---

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Starts the program with its output and diagnostics to /dev/null; 0 when it cannot.
pid_t Spawn(std::vector<const char *> argv) {
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, 1, 2);
    pid_t pid = 0;
    const int failed =
        posix_spawn(&pid, argv[0], &quiet, nullptr, const_cast<char **>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&quiet);
    return failed ? 0 : pid;
}

// Waits up to `ms` for a top-level window to be mapped on the display.
bool AwaitMap(Display *display, double ms) {
    const double until = NowMs() + ms;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect) return true;
        }
        const double left = until - NowMs();
        if (left <= 0) return false;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(ConnectionNumber(display), &fds);
        timeval wait{long(left / 1000), long(std::fmod(left, 1000.0) * 1000)};
        select(ConnectionNumber(display) + 1, &fds, nullptr, nullptr, &wait);
    }
}

struct Start {
    double ms = 0;             // exec to mapped
    double residentMb = 0;     // VmRSS once mapped
    QSet<QString> libraries{}; // the shared objects mapped into it
};

std::optional<Start> Measure(Display *display, const std::vector<const char *> &argv) {
    XSync(display, False);
    while (XPending(display)) { // what the contender before left behind
        XEvent event;
        XNextEvent(display, &event);
    }
    Start start;
    const double spawned = NowMs();
    const pid_t pid = Spawn(argv);
    if (pid == 0) return std::nullopt;
    const bool mapped = AwaitMap(display, 20000);
    start.ms = NowMs() - spawned;
    usleep(SettleMs * 1000);
    QFile status(QStringLiteral("/proc/%1/status").arg(pid)),
        maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (QByteArray line; !(line = status.readLine()).isEmpty();)
            if (line.startsWith("VmRSS:"))
                start.residentMb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    if (maps.open(QIODevice::ReadOnly))
        for (QByteArray line; !(line = maps.readLine()).isEmpty();)
            if (const qsizetype at = line.indexOf(" /"); at >= 0 && line.contains(".so"))
                start.libraries.insert(
                    QString::fromLocal8Bit(line.mid(at + 1).trimmed()).section(u'/', -1));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!mapped) return std::nullopt;
    return start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A private X server; its display number, or -1.
int StartXvfb(pid_t &server) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const QByteArray fd = QByteArray::number(fds[1]);
    server = Spawn({"/usr/bin/Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1024x768x24",
                    "-nolisten", "tcp"});
    close(fds[1]);
    char number[16] = {};
    const ssize_t got = server ? read(fds[0], number, sizeof number - 1) : -1;
    close(fds[0]);
    return got > 0 ? std::atoi(number) : -1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0) return Bare(argc, argv);
    pid_t server = 0;
    const int number = StartXvfb(server);
    const QByteArray name = ":" + QByteArray::number(number);
    Display *display = number < 0 ? nullptr : XOpenDisplay(name.constData());
    if (!display) {
        std::fprintf(stderr, "window_bench: no private Xvfb\n");
        if (server) kill(server, SIGTERM);
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    setenv("DISPLAY", name.constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const std::vector<const char *> contenders[] = {{GEODATEN_WINDOW},
                                                    {"/proc/self/exe", "--bare"}};
    std::vector<double> ms[2], mb[2];
    QSet<QString> libraries[2];
    for (int rep = 0; rep < Reps; ++rep)
        for (int k = 0; k < 2; ++k) {
            const std::optional<Start> start = Measure(display, contenders[k]);
            if (!start) {
                std::fprintf(stderr, "window_bench: %s mapped no window\n", contenders[k][0]);
                return 1;
            }
            ms[k].push_back(start->ms);
            mb[k].push_back(start->residentMb);
            libraries[k] = start->libraries;
        }
    XCloseDisplay(display);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    const char *names[] = {"geodaten", "bare Qt window, same widgets"};
    std::printf("| contender | exec to mapped, ms (best / median of %d) | resident once mapped, MB "
                "(median) | shared libraries |\n|---|---|---|---|\n",
                Reps);
    for (int k = 0; k < 2; ++k)
        std::printf("| %s | %.1f / %.1f | %.1f | %lld |\n", names[k],
                    *std::min_element(ms[k].begin(), ms[k].end()), Median(ms[k]), Median(mb[k]),
                    qlonglong(libraries[k].size()));
    std::printf("| ratio (target at most 1.10) | %.2f / %.2f | %.2f | %.2f |\n",
                *std::min_element(ms[0].begin(), ms[0].end()) /
                    *std::min_element(ms[1].begin(), ms[1].end()),
                Median(ms[0]) / Median(ms[1]), Median(mb[0]) / Median(mb[1]),
                double(libraries[0].size()) / double(libraries[1].size()));
    QStringList extra = (libraries[0] - libraries[1]).values();
    extra.sort();
    std::printf("only geodaten loads: %s\n", qPrintable(extra.join(u' ')));
    return 0;
}
