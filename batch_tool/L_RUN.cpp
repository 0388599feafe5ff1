#include "batch_tool/L_RUN.h"

#include "batch_tool/L_ASK.h"
#include "batch_tool/L_FILES.h"
#include "batch_tool/L_KEEP.h"
#include "batch_tool/L_LIST.h"
#include "batch_tool/L_REPORT.h"
#include "batch_tool/L_TERM.h"
#include "geo_files/L_PFADE.h"
#include "map_service/L_CACHE.h"
#include "map_service/L_QUERY.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <deque>
#include <map>
#include <set>
#include <thread>

namespace L_RUN {

namespace {

using L_BATCH::Options;
using L_STATUS::Status;

std::atomic<bool> halt{false};        // every transfer and wait of the run ends at once
std::atomic<bool> interrupted{false}; // by a signal

// A row's result as it waits for its turn to be written.
struct Result {
    bool ready = false;
    QStringList fields; // the columns written back
    L_ASK::Answer answer;
    QByteArray earlier;    // records of an earlier output: copied instead (resume)
    QString earlierStatus; // their status
    bool copy = false;
    L_KEEP::Answered answered = L_KEEP::Answered::Asked;
};

// A row's question as it waits for a worker: the row, the list line where it begins.
struct Question {
    qint64 row = 0, line = 0;
    L_LIST::Question asked;
};

// Rows read ahead of the one written next: with --parallel, rows behind one that waits
// long are asked meanwhile (and held here, in order) until this many wait.
constexpr qint64 MaxHeldRows = 8192;

struct Job {
    const Options &options;
    L_LIST::List list;
    L_LIST::Survey survey;
    QStringList added;
    L_FILES::Files files;
    int workers = 1;
    L_KEEP::Memory memory;
    // The pipeline, under `mutex`: rows read, asked by the workers, written in order.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Question> questions;
    std::multiset<size_t> flying; // the places being asked, by hash
    std::map<qint64, Result> results;
    qint64 read = 0, laterS = -1;
    bool listChanged = false;                    // the list has fewer rows than the survey counted
    std::atomic<qint64> nextWrite{1}, worked{0}; // read by a worker's progress line too
    bool inputDone = false;
    QString waiting;
    L_REPORT::Counts counts; // what was written
    QElapsedTimer clock;
    explicit Job(const Options &o) : options(o) {}
};

void ShowProgress(Job &job) {
    if (job.options.quiet || !L_TERM::Terminal()) return;
    QString waiting;
    {
        const std::lock_guard<std::mutex> lock(job.mutex);
        waiting = job.waiting;
    }
    L_TERM::Progress(L_REPORT::Progress(job.nextWrite - 1, job.survey.rows, job.worked,
                                        job.clock.elapsed(), waiting));
}

// --- Asking, by the workers or, one request at a time, by the main thread itself. ---

// What a thread asks with: its own connection to the answers kept across runs, behind the
// run's memory. Made in place: the keepers point at its members.
struct Session {
    L_CACHE::Cache cache;
    L_FETCH::AnswerStore cached, kept;
    L_ASK::Asker asker;
    Session() = default;
    Session(const Session &) = delete; // the keepers point at its members
    Session &operator=(const Session &) = delete;
};

void Open(Job &job, Session &s) {
    L_LIMIT::SetLimits({&halt, 0});
    const bool lasting = !job.options.noCache && L_QUERY::ActiveService().keepsAnswers;
    s.cache = L_CACHE::Open(lasting ? L_CACHE::CacheFile() : QString());
    s.cached = L_FETCH::CacheStore(s.cache);
    s.kept = L_KEEP::Store(job.memory, &s.cached);
    s.asker = {&job.options, &s.kept, job.files.out.delimiter, [&job](const QString &wait) {
                   {
                       const std::lock_guard<std::mutex> lock(job.mutex);
                       job.waiting = wait;
                   }
                   ShowProgress(job); // the wait, on the progress line
               }};
}

// True when a worker asks one of the question's places right now: another worker taking
// it would only wait for that answer, while a question behind it could be asked.
bool Flying(const Job &job, const Question &question) {
    for (const L_LIST::Address &a : question.asked.addresses)
        if (job.flying.count(qHash(a.text))) return true;
    return false;
}

// Asks the next question that waits and none of whose places is being asked (with `wait`,
// until there is one or the run ends); false when there is none.
bool AskNext(Job &job, Session &s, bool wait) {
    Question question;
    {
        std::unique_lock<std::mutex> lock(job.mutex);
        auto next = job.questions.end();
        const auto ready = [&] { // a question none of whose places another worker asks now
            next = std::find_if(job.questions.begin(), job.questions.end(),
                                [&](const Question &q) { return !Flying(job, q); });
            return halt || (job.inputDone && job.questions.empty()) || next != job.questions.end();
        };
        if (wait)
            job.changed.wait(lock, ready);
        else
            ready();
        if (halt || next == job.questions.end()) return false;
        question = std::move(*next);
        job.questions.erase(next);
        for (const L_LIST::Address &a : question.asked.addresses) job.flying.insert(qHash(a.text));
    }
    L_KEEP::StartRow(L_LIST::Recurs(job.survey, question.asked));
    L_TERM::AtLine(question.line);
    L_ASK::Answer answer = L_ASK::Ask(s.asker, question.asked);
    L_TERM::AtLine(0);
    const std::lock_guard<std::mutex> lock(job.mutex);
    for (const L_LIST::Address &a : question.asked.addresses)
        job.flying.erase(job.flying.find(qHash(a.text)));
    Result &result = job.results[question.row];
    result.answer = std::move(answer);
    result.answered = L_KEEP::EndRow(job.memory);
    if (result.answer.laterS >= 0) job.laterS = result.answer.laterS, halt = true;
    result.ready = !halt; // a row cut off by a stop is not written
    job.changed.notify_all();
    return true;
}

void Work(Job &job) {
    Session session;
    Open(job, session);
    while (AskNext(job, session, true)) {
    }
    L_CACHE::Close(session.cache);
}

// --- Reading and writing, on the main thread. ---

// Reads row `row` and either makes its result at once or hands its question on; false
// when the list no longer has it (changed since the survey).
bool ReadRow(Job &job, L_CSV::Source &source, qint64 row) {
    Result result;
    qint64 line = 0;
    if (L_CSV::ReadRecord(source, result.fields, line) == L_CSV::Read::End) return false;
    const bool earlier =
        job.files.resuming &&
        L_RESUME::Records(job.files.earlier, row, result.earlier, result.earlierStatus);
    const bool final = earlier && !L_STATUS::Transient(L_STATUS::FromWord(result.earlierStatus));
    const L_LIST::Question question = L_LIST::Ask(job.list, result.fields);
    const L_ASK::Asker asker{&job.options, nullptr, job.files.out.delimiter, {}};
    if (final) {
        result.copy = result.ready = true;
    } else if (L_LIST::TooShort(job.list, result.fields)) {
        result.answer = L_ASK::Without(asker, Status::Columns), result.ready = true;
    } else if (question.addresses.isEmpty()) {
        result.answer = L_ASK::Without(asker, Status::Empty), result.ready = true;
    }
    result.fields = L_LIST::Echoed(job.list, result.fields);
    if (!earlier) result.earlier.clear();
    const std::lock_guard<std::mutex> lock(job.mutex);
    if (!result.ready) job.questions.push_back({row, line, question});
    job.results[row] = std::move(result);
    job.read = row;
    job.changed.notify_all();
    return true;
}

// A written row in the summary's counts, an earlier output's by its status too, so that a
// resumed run ends as an uninterrupted one would.
void Count(Job &job, const Result &result) {
    job.worked += !result.copy;
    job.counts.repeated += result.answered == L_KEEP::Answered::Remembered;
    job.counts.cached += result.answered == L_KEEP::Answered::Kept;
    L_REPORT::Count(job.counts,
                    result.copy ? L_STATUS::FromWord(result.earlierStatus) : result.answer.status,
                    result.copy);
}

// Writes the results that are next in order; false when a write failed.
bool WriteReady(Job &job) {
    for (;;) {
        Result result;
        {
            const std::lock_guard<std::mutex> lock(job.mutex);
            const auto next = job.results.find(job.nextWrite);
            if (next == job.results.end() || !next->second.ready) return true;
            result = std::move(next->second);
            job.results.erase(next);
        }
        const bool written =
            result.copy
                ? L_FILES::Copy(job.files, result.fields, result.earlier, result.earlierStatus)
                : L_FILES::Write(job.files, job.nextWrite, result.fields, result.answer);
        if (!written) return false;
        Count(job, result);
        ++job.nextWrite;
        ShowProgress(job);
    }
}

// Every row, in order, until the end, a stop or a failed write; false for the last.
bool WorkThrough(Job &job) {
    L_CSV::Source source = L_LIST::Body(job.list);
    Session own; // one request at a time: asked here, with no thread to hand it to
    std::vector<std::thread> workers;
    if (job.workers == 1) Open(job, own);
    for (int k = 0; job.workers > 1 && k < job.workers; ++k)
        workers.emplace_back(Work, std::ref(job));
    bool ok = true;
    while ((ok = WriteReady(job)) && !halt && job.nextWrite <= job.survey.rows) {
        const qint64 held = job.workers > 1 ? MaxHeldRows : 1;
        if (job.read < job.survey.rows && job.read - (job.nextWrite - 1) < held) {
            if (!ReadRow(job, source, job.read + 1)) {
                job.listChanged = true;
                break;
            }
            if (job.workers == 1) AskNext(job, own, false);
            continue;
        }
        std::unique_lock<std::mutex> lock(job.mutex);
        job.changed.wait_for(lock, std::chrono::milliseconds(200));
        lock.unlock();
        ShowProgress(job);
    }
    if (!ok || job.listChanged) halt = true; // no further requests
    {
        const std::lock_guard<std::mutex> lock(job.mutex);
        job.inputDone = true;
        job.changed.notify_all();
    }
    for (std::thread &worker : workers) worker.join();
    L_CACHE::Close(own.cache);
    return ok;
}

// After a stop: the earlier output's records of the rows not written, as they were.
bool KeepEarlier(Job &job) {
    if (!job.files.resuming) return true;
    for (qint64 row = job.nextWrite; row <= job.files.earlier.rows; ++row) {
        QByteArray bytes;
        QString status;
        const auto held = job.results.find(row);
        if (held != job.results.end() && !held->second.earlier.isEmpty())
            bytes = held->second.earlier;
        else if (row > job.read)
            L_RESUME::Records(job.files.earlier, row, bytes, status);
        if (!bytes.isEmpty() && !L_OUTPUT::Copy(job.files.out, bytes)) return false;
    }
    return true;
}

// Closes the outputs and tells how the run ended: its exit status.
int Finish(Job &job, bool written) {
    L_TERM::Progress(QString());
    const bool stopped = interrupted || job.laterS >= 0;
    if (!L_FILES::Close(job.files, written && (!stopped || KeepEarlier(job)))) {
        L_TERM::Fail(QStringLiteral("Schreiben abgebrochen: %1").arg(L_FILES::Error(job.files)));
        L_TERM::Note(L_REPORT::Summary(job.counts) + QStringLiteral(" geschrieben"));
        return L_BATCH::ExitWrite;
    }
    const QString resume = job.options.output.isEmpty()
                               ? QString()
                               : QStringLiteral("; --resume setzt %1 fort").arg(job.options.output);
    const QString again =
        resume.isEmpty() || !job.counts.passing
            ? QString()
            : QStringLiteral("; --resume fragt %1 davon neu").arg(job.counts.passing);
    L_TERM::Note(L_REPORT::Summary(job.counts) +
                 (interrupted ? QStringLiteral(", abgebrochen") + resume : again));
    if (interrupted) return L_BATCH::ExitInterrupted;
    const int ending = L_REPORT::Ending(job.list.name, job.listChanged ? job.read : -1, job.laterS,
                                        job.survey.unterminatedLine);
    if (ending >= 0) return ending;
    const L_REPORT::Counts &c = job.counts;
    return c.without + c.mismatched > 0 ? L_BATCH::ExitSomeWithout : L_BATCH::ExitAllFound;
}

} // namespace

void Interrupt() {
    interrupted = true;
    halt = true;
}

int Run(const Options &options) {
    halt = interrupted = false; // a run of its own, however many came before
    L_TERM::SetQuiet(options.quiet);
    Job job(options);
    QString message, note;
    int exit = 0;
    job.added = L_ASK::AddedColumns(options);
    if (!L_FILES::Distinct(options, message) ||
        !L_LIST::Open(options, job.added, job.list, message, note)) {
        L_TERM::Fail(message);
        return L_BATCH::ExitUsage;
    }
    if (!note.isEmpty()) L_TERM::Note(note);
    job.survey = L_LIST::SurveyList(job.list);
    if ((exit = L_FILES::Open(job.files, options, job.list, job.added, message)) != 0) {
        L_TERM::Fail(message.isEmpty() ? L_FILES::Error(job.files) : message);
        return exit;
    }
    const bool paced = L_QUERY::AsksPublicServers(options.mode == L_BATCH::Mode::Distance);
    job.workers = paced ? 1 : options.parallel;
    L_REPORT::Notes(options, job.list, job.survey, paced);
    L_TERM::CatchDiagnostics(true);
    job.clock.start();
    const bool written = WorkThrough(job);
    const int status = Finish(job, written);
    L_TERM::CatchDiagnostics(false);
    return status;
}

} // namespace L_RUN
