// The user-interface thread's loop: message filters consulted before dispatch (last
// registered first) and idle handlers called once when the loop is about to wait after
// a burst of activity.
#pragma once

#include <QObject>
#include <vector>

class QEvent;

namespace App {

struct IMessageFilter {
    virtual ~IMessageFilter() = default;
    // True when the filter consumed the event.
    virtual bool PreTranslateMessage(QObject* target, QEvent* event) = 0;
};

struct IIdleHandler {
    virtual ~IIdleHandler() = default;
    virtual bool OnIdle() = 0;
};

class CMessageLoop final : public QObject {
    Q_OBJECT
public:
    CMessageLoop();
    ~CMessageLoop() override;
    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;

    // The loop of the calling thread, or null when none runs.
    static CMessageLoop* Current();

    void AddMessageFilter(IMessageFilter* filter);
    void RemoveMessageFilter(IMessageFilter* filter);
    void AddIdleHandler(IIdleHandler* handler);
    void RemoveIdleHandler(IIdleHandler* handler);

    // Runs the idle pass now if activity since the last one asks for it.
    void RunIdle();
    bool IdlePending() const { return m_idlePending; }

    int Run();

protected:
    bool eventFilter(QObject* target, QEvent* event) override;

private:
    static bool CountsAsActivity(const QEvent* event);

    std::vector<IMessageFilter*> m_filters;
    std::vector<IIdleHandler*> m_idleHandlers;
    bool m_idlePending = true;
};

}  // namespace App
