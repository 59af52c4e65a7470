#include "TestApplication.h"

#include <QEventLoop>
#include <QTimer>

void TApplicationTest::SetUp()
{
    FApplication = std::make_unique<TApplication>();
    FApplication->OnException = [this](const QString& message) { FShownFailures << message; };
}

void TApplicationTest::TearDown()
{
    FApplication.reset();
}

bool TApplicationTest::RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(2);
    if (!done())
        loop.exec();
    return done();
}

void TApplicationTest::RunFor(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    RunUntil([&] { return elapsed.elapsed() >= ms; }, ms + 1000);
}
