// The loop's message filters and idle handlers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "MessageLoop.h"

namespace {

struct Filter final : App::IMessageFilter {
    Filter(std::string name, std::vector<std::string>& log, bool consume)
        : name(std::move(name)), log(log), consume(consume) {}
    bool PreTranslateMessage(QObject*, QEvent* event) override {
        if (event->type() == QEvent::User) {
            log.push_back(name);
            return consume;
        }
        return false;
    }
    std::string name;
    std::vector<std::string>& log;
    bool consume;
};

struct Idle final : App::IIdleHandler {
    bool OnIdle() override {
        ++calls;
        return true;
    }
    int calls = 0;
};

struct Target final : QObject {
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++delivered;
            return true;
        }
        return QObject::event(e);
    }
    int delivered = 0;
};

TEST(MessageLoop, FiltersAskedLastRegisteredFirst) {
    App::CMessageLoop* loop = App::CMessageLoop::Current();
    ASSERT_NE(loop, nullptr);
    std::vector<std::string> log;
    Filter first("first", log, false);
    Filter second("second", log, false);
    loop->AddMessageFilter(&first);
    loop->AddMessageFilter(&second);
    Target target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    EXPECT_EQ(log, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(target.delivered, 1);

    Filter eater("eater", log, true);
    loop->AddMessageFilter(&eater);
    log.clear();
    QCoreApplication::sendEvent(&target, &event);
    EXPECT_EQ(log, (std::vector<std::string>{"eater"}));
    EXPECT_EQ(target.delivered, 1);
    loop->RemoveMessageFilter(&eater);
    loop->RemoveMessageFilter(&second);
    loop->RemoveMessageFilter(&first);
}

TEST(MessageLoop, IdleOncePerBurstOfActivity) {
    App::CMessageLoop* loop = App::CMessageLoop::Current();
    Idle idle;
    loop->AddIdleHandler(&idle);
    loop->RunIdle();
    loop->RunIdle();
    const int afterFirst = idle.calls;
    EXPECT_LE(afterFirst, 1);
    EXPECT_FALSE(loop->IdlePending());

    // Mouse moves, paints and timers don't count as activity.
    Target target;
    loop->RunIdle();
    const int settled = idle.calls;
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &move);
    QEvent paint(QEvent::Paint);
    QCoreApplication::sendEvent(&target, &paint);
    QTimerEvent timer(1);
    QCoreApplication::sendEvent(&target, &timer);
    EXPECT_FALSE(loop->IdlePending());
    loop->RunIdle();
    EXPECT_EQ(idle.calls, settled);

    QEvent user(QEvent::User);
    QCoreApplication::sendEvent(&target, &user);
    EXPECT_TRUE(loop->IdlePending());
    loop->RunIdle();
    EXPECT_EQ(idle.calls, settled + 1);
    loop->RemoveIdleHandler(&idle);
}

}  // namespace
