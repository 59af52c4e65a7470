#pragma once

#include <exception>
#include <utility>

// Runs a clean-up when the scope is left, by return or by exception, so that
// state pushed for a while is popped whatever happens in between. The
// clean-up is stored in place: guarding a frame allocates nothing.
template <class F> class TScopeExit
{
public:
    explicit TScopeExit(F cleanup) : FCleanup(std::move(cleanup)) {}
    ~TScopeExit() { FCleanup(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FCleanup;
};

// Runs its clean-up only when the scope is left by an exception: the undo of
// a step that must either complete or leave no trace.
template <class F> class TScopeFailure
{
public:
    explicit TScopeFailure(F cleanup) : FCleanup(std::move(cleanup)), FExceptions(std::uncaught_exceptions()) {}
    ~TScopeFailure()
    {
        if (std::uncaught_exceptions() > FExceptions)
            FCleanup();
    }
    TScopeFailure(const TScopeFailure&) = delete;
    TScopeFailure& operator=(const TScopeFailure&) = delete;

private:
    F FCleanup;
    const int FExceptions;
};
