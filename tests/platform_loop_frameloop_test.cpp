// FrameLoop: a signal ends the run after the frame it came in, and the
// connection is read on every pass, however late the frames run; a run held
// up after a signal ends within the grace.
#include <gtest/gtest.h>

#include "platform/loop/FrameLoop.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

// Frames that take longer than the loop's period, a connection that always
// has data, and SIGTERM raised during one chosen frame.
class SlowClient : public FrameLoopClient {
public:
    static constexpr int kMostFrames = 12;

    explicit SlowClient(int signalAtFrame) : signalAt_(signalAtFrame)
    {
        EXPECT_EQ(pipe(fds_), 0);
        EXPECT_EQ(write(fds_[1], "x", 1), 1);
    }
    ~SlowClient() override
    {
        close(fds_[0]);
        close(fds_[1]);
    }

    bool Running() override { return !quit && frames < kMostFrames; }
    void Frame() override
    {
        frames++;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (frames == signalAt_)
            raise(SIGTERM);
    }
    void HandleEvents() override {}
    int WaitOn() override { return fds_[0]; }
    void EndWait(bool readable) override { readableWaits += readable ? 1 : 0; }
    void Quit() override { quit = true; }

    int frames = 0;
    int readableWaits = 0;
    bool quit = false;

private:
    int signalAt_;
    int fds_[2] = {-1, -1};
};

// Rows: no delay at all (--delay 0), and a period shorter than a frame.
TEST(FrameLoop, ASignalEndsTheRunAfterItsFrameAndEventsAreReadWhenFramesRunLate)
{
    for (const double period : {0.0, 0.005}) {
        SCOPED_TRACE(period);
        // A long grace: the loop itself must end the run.
        QuitSignals signals(30);
        SlowClient client(3);
        RunFrameLoop(&client, signals, period);
        EXPECT_TRUE(client.quit);
        EXPECT_EQ(client.frames, 3);
        EXPECT_EQ(client.readableWaits, 3) << "the connection is read after every frame";
    }
}

// Held up after a signal (as in a round trip to a stopped display server),
// the run ends within the grace with status 0 and says why; once the signals
// object is gone, the grace is called off and the process ends as it will.
TEST(FrameLoopDeathTest, ARunHeldUpAfterASignalEndsWithinTheGraceUnlessItsSignalsAreGone)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto heldUp = [](double seconds, int status) {
        const double until = SteadyNow() + seconds;
        while (SteadyNow() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        _exit(status);
    };
    const double start = SteadyNow();
    EXPECT_EXIT(
        {
            QuitSignals signals;
            raise(SIGTERM);
            heldUp(10.0, 3);
        },
        ::testing::ExitedWithCode(0), "larkspur: the run did not end within 1 s of the signal");
    EXPECT_LT(SteadyNow() - start, 3.0);
    EXPECT_EXIT(
        {
            {
                QuitSignals signals;
                raise(SIGTERM);
            }
            heldUp(1.5, 7);
        },
        ::testing::ExitedWithCode(7), "");
    // Run by XScreenSaver, the grace ends the process by the signal instead.
    EXPECT_EXIT(
        {
            QuitSignals signals(1, true);
            raise(SIGTERM);
            heldUp(10.0, 3);
        },
        ::testing::KilledBySignal(SIGTERM), "larkspur: the run did not end within 1 s of the signal");
}

// After its cleanup, a run ends by the quit signal that ended it, whichever
// it was, and carries on when none did.
TEST(FrameLoopDeathTest, EndByQuitSignalEndsByTheSignalThatEndedTheRun)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int signal : {SIGTERM, SIGINT}) {
        EXPECT_EXIT(
            {
                {
                    QuitSignals signals;
                    raise(signal);
                }
                EndByQuitSignal();
                _exit(3);
            },
            ::testing::KilledBySignal(signal), "")
            << signal;
    }
    EXPECT_EXIT(
        {
            {
                QuitSignals signals;
            }
            EndByQuitSignal();
            _exit(4);
        },
        ::testing::ExitedWithCode(4), "");
}

} // namespace
