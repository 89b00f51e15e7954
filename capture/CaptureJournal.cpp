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
    if (!journal_ || journalAside_)
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
    journalAside_ = false;
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

// The lines a failed log write kept go to the journal at once. A disk too
// full for the log has no room for a second copy: the journal gives its room
// to the log until a write works again.
void TC1::KeepJournalled(uint32_t logWriteError)
{
    if (!journal_)
        return;
    if (!IsDiskFullError(logWriteError)) {
        FeedJournal(true);
        return;
    }
    journal_->StandAside();
    journalAside_ = true;
}
