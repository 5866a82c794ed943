#include "MessageLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <algorithm>

namespace App {

namespace {
thread_local CMessageLoop* t_current = nullptr;

template <typename T>
void Erase(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

CMessageLoop::CMessageLoop() {
    t_current = this;
    QCoreApplication::instance()->installEventFilter(this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CMessageLoop::RunIdle);
    }
}

CMessageLoop::~CMessageLoop() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
    if (t_current == this) {
        t_current = nullptr;
    }
}

CMessageLoop* CMessageLoop::Current() {
    return t_current;
}

void CMessageLoop::AddMessageFilter(IMessageFilter* filter) {
    m_filters.push_back(filter);
}
void CMessageLoop::RemoveMessageFilter(IMessageFilter* filter) {
    Erase(m_filters, filter);
}
void CMessageLoop::AddIdleHandler(IIdleHandler* handler) {
    m_idleHandlers.push_back(handler);
}
void CMessageLoop::RemoveIdleHandler(IIdleHandler* handler) {
    Erase(m_idleHandlers, handler);
}

void CMessageLoop::RunIdle() {
    if (!m_idlePending) {
        return;
    }
    m_idlePending = false;
    // A handler may unregister itself: walk a copy.
    const std::vector<IIdleHandler*> handlers = m_idleHandlers;
    for (IIdleHandler* handler : handlers) {
        handler->OnIdle();
    }
}

int CMessageLoop::Run() {
    return QCoreApplication::exec();
}

bool CMessageLoop::CountsAsActivity(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::HoverMove:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Paint:
        case QEvent::UpdateRequest:
        case QEvent::Timer:
            return false;
        default:
            return true;
    }
}

bool CMessageLoop::eventFilter(QObject* target, QEvent* event) {
    if (CountsAsActivity(event)) {
        m_idlePending = true;
    }
    // Last registered first; a filter may unregister itself on the way.
    for (std::size_t i = m_filters.size(); i-- > 0;) {
        if (i < m_filters.size() && m_filters[i]->PreTranslateMessage(target, event)) {
            return true;
        }
    }
    return false;
}

}  // namespace App
