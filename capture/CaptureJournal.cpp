// The capture thread's side of the journal: what it hands over, and when.
// It never waits for the disk; the journal's writer does.
#include <algorithm>
#include <utility>

#include "Clock.h"
#include "Unit2.h"
#include "common/ErrorText.h"

// The journal holds at most the kept lines and a few about them; recovery
// takes a larger file for no journal of ours.
static_assert(kLogKeepBytes < Journal::kMostBytes);

// Before the first run: what programs that did not end normally left behind
// goes into log files, then this thread's own journal comes up.
void TC1::OpenJournal()
{
    const std::string folder = Control->logPath;
    if (const uint32_t code = RecoverJournals(folder))
        Control->sysError = code;
    if (!UseJournal)
        return;
    try {
        journal_ = std::make_unique<Journal>(folder);
    } catch (...) {
        Control->sysError = InputOutputError();  // no writer thread: capturing goes on without a journal
    }
}

// A journal still holding lines no file got stays for the next start.
void TC1::CloseJournal()
{
    if (!journal_)
        return;
    if (logUnsaved_)
        FeedJournal(true);
    journal_->Close(logUnsaved_);
    journal_.reset();
}

void TC1::FeedJournal(bool hurry)
{
    if (!journal_)
        return;
    journalFedAt_ = MillisecondClock();
    const size_t end = logBuffer.TextBytes();
    const uint32_t code = journal_->HandOver(logBuffer, std::min(journalMark_, end), hurry);
    journalMark_ = end;
    NoteJournalState(code);
}

// Lines logged just before the thread waits on the line or sleeps go over
// at once rather than at the next line, which may be long in coming.
void TC1::FeedJournalBeforeWait()
{
    if (logBuffer.TextBytes() > journalMark_ ||
        (journalFailing_ && MillisecondClock() - journalFedAt_ >= Journal::kPaceMs))
        FeedJournal(false);
}

void TC1::RestartJournal(WrittenLog logFile)
{
    if (!journal_)
        return;
    journal_->Restart(std::move(logFile));
    journalMark_ = 0;
}

// The log write seals the journal before its first byte goes in; a write
// that fails takes the seal back.
BeforeAppend TC1::JournalSeal(const std::string &logName)
{
    if (!journal_)
        return {};
    return [this, logName](uint64_t offset) { return journal_->Seal(logName, offset); };
}

void TC1::JournalUnseal()
{
    if (journal_)
        journal_->Unseal();
}

// Reported as a failed log write is: the window shows the system text, and
// the log says so once for each stretch of failed journal writes.
void TC1::NoteJournalState(uint32_t code)
{
    if (code != 0) {
        Control->sysError = code;
        journalFailure_ = code;
        if (!journalFailing_) {
            journalFailing_ = true;
            AddLogLine("Journal file " + journal_->Path() + ": " + SystemErrorText(code));
        }
    } else if (journalFailing_) {
        journalFailing_ = false;
        uint32_t shown = journalFailure_;
        Control->sysError.compare_exchange_strong(shown, 0);
    }
}

// A disk too full for the log still has the journal's copy of the log's
// first lines: under the log's name it is the log, and only the rest waits.
void TC1::LogFromJournal(const std::string &path, uint32_t logWriteError)
{
    if (!journal_ || !IsDiskFullError(logWriteError))
        return;
    uint64_t logged = 0;
    // A name already taken or a folder that cannot be synced leaves the
    // lines where they are; the write's own failure is the one reported.
    static_cast<void>(journal_->BecomeLog(path, logged));
    if (logged == 0)
        return;
    logBuffer.DropFront(static_cast<size_t>(logged));
    journalMark_ = 0;
    // Lines lost so far are missing right after the logged ones.
    if (NoteLostLines())
        lostLines_ = {};
}

// The lines a failed log write kept go to the journal at once. On a full
// disk too: the journal then is the only durable copy of its lines, and
// keeps them until a log write takes them.
void TC1::KeepJournalled()
{
    FeedJournal(true);
}
