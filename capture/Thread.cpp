#include <thread>

#include "Unit2.h"

void TThread::AfterConstruction(bool createSuspended)
{
    if (!createSuspended)
        Start();
}

void TThread::Start()
{
    if (started_)
        return;
    started_ = true;
    // Detached: the object frees itself (or is freed by its owner); nobody joins.
    std::thread(&TThread::ThreadProc, this).detach();
}

void TThread::ThreadProc(TThread *self)
{
    self->Execute();
    if (self->FreeOnTerminate)
        delete self;
}
