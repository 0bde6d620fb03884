// The message core of the window system: window records, per-thread queues,
// sending and posting, the message loop, timers, focus and capture, and the
// default window procedure. The display and the menus hook in through
// window_internal.h.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <unordered_map>

#include "platform/window.h"
#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

namespace {

std::mutex gLock;  // guards the maps below
std::unordered_map<uintptr_t, Window*> gWindows;
std::map<std::string, WNDCLASS> gClasses;
std::unordered_map<uint64_t, std::weak_ptr<Queue>> gQueues;
uintptr_t gNextHandle = 0x10;
std::atomic<uint64_t> gNextThreadId{1};
std::atomic<bool> gHeadless{false};

// Ends the thread's queue when the thread ends: senders waiting on it get 0.
struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder() {
        if (!queue) return;
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard guard(queue->lock);
            queue->alive = false;
            pending.swap(queue->sent);
        }
        for (auto& s : pending) {
            std::lock_guard guard(s->lock);
            s->done = true;
            s->cv.notify_all();
        }
        std::lock_guard guard(gLock);
        gQueues.erase(queue->threadId);
    }
};
thread_local QueueHolder tQueue;

std::shared_ptr<Queue> QueueOf(HWND hwnd) {
    std::lock_guard guard(gLock);
    auto it = gWindows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == gWindows.end() ? nullptr : it->second->queue;
}

void Wake(Queue& q) {
    if (q.display) DisplayWake();
    q.cv.notify_all();
}

LRESULT Call(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w || !w->cls.proc) return 0;
    WNDPROC proc = w->cls.proc;  // w may be gone once the procedure returns
    return proc(hwnd, message, wParam, lParam);
}

void HandleSent(Queue& q) {
    for (;;) {
        std::shared_ptr<SentMessage> s;
        {
            std::lock_guard guard(q.lock);
            if (q.sent.empty()) return;
            s = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT r = Call(s->msg.hwnd, s->msg.message, s->msg.wParam, s->msg.lParam);
        std::lock_guard guard(s->lock);
        s->result = r;
        s->done = true;
        s->cv.notify_all();
    }
}

bool IsOwnedBy(const Window* w, const Queue& q) {
    return w && w->queue.get() == &q;
}

Window* FirstInvalid(Window* w) {
    if (!w->visible) return nullptr;
    if (w->invalid) return w;
    for (Window* c : w->children)
        if (Window* found = FirstInvalid(c)) return found;
    return nullptr;
}

bool NextTimer(Queue& q, uint64_t now, MSG& msg, bool remove) {
    Timer* best = nullptr;
    for (Timer& t : q.timers)
        if (t.due <= now && (!best || t.due < best->due)) best = &t;
    if (!best) return false;
    msg = {best->hwnd, WM_TIMER, best->id, 0, static_cast<uint32_t>(now), {}};
    // Like the system's timers, a late timer fires once, not once per missed period.
    if (remove) best->due = now + std::max<uint32_t>(best->period, 1);
    return true;
}

// Whether a frame is held back to keep to the display's pace.
bool PresentAll(Queue& q) {
    bool heldBack = false;
    for (Window* top : TopLevelsOfThisThread()) {
        if (!IsOwnedBy(top, q)) continue;
        DisplayFlush(*top);
        if (top->top->needsPresent) {
            top->top->needsPresent = false;
            MenuCompose(*top);
            DisplayPresent(*top);
        }
        heldBack = heldBack || DisplayFlush(*top) != kNoPresentPending;
    }
    return heldBack;
}

// Keys typed ahead of a menu that opened meanwhile (Alt+F, Down, Return
// faster than the window reads them) belong to the menu, as they would have
// had it been open when they were typed; their text is not typed.
bool TakenByMenu(Queue& q, const MSG& msg) {
    bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    bool otherKey = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP ||
                    msg.message == WM_CHAR || msg.message == WM_SYSCHAR;
    if (!keyDown && !otherKey) return false;
    Window* top = Find(GetTopLevel(msg.hwnd));
    if (!top || !top->top || !MenuActive(*top)) {
        bool ateText = q.menuAteKey && msg.message == WM_CHAR;
        if (msg.message != WM_KEYUP) q.menuAteKey = false;
        return ateText;
    }
    if (keyDown) {
        MenuKey(*top, static_cast<uint32_t>(msg.wParam));
        q.menuAteKey = true;
    }
    return true;
}

// A key's character, read as if typed with the key itself.
MSG Translation(const MSG& key, uint32_t message, uint32_t ch) {
    MSG out = key;
    out.message = message;
    out.wParam = ch;
    return out;
}

bool PeekCore(MSG& msg, bool remove) {
    Queue& q = ThisQueue();
    HandleSent(q);
    if (q.display) DisplayPump(0);
    {
        std::lock_guard guard(q.lock);
        if (!q.posted.empty()) {
            msg = q.posted.front();
            if (remove) q.posted.pop_front();
            return true;
        }
    }
    while (!q.input.empty() && TakenByMenu(q, q.input.front())) q.input.pop_front();
    if (!q.input.empty()) {
        msg = q.input.front();
        if (remove) {
            q.input.pop_front();
            q.readKeys = msg.keys;
        }
        return true;
    }
    if (q.quit) {
        msg = {nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, {}};
        if (remove) q.quit = false;
        return true;
    }
    for (Window* top : TopLevelsOfThisThread()) {
        if (Window* w = FirstInvalid(top)) {
            msg = {w->Handle(), WM_PAINT, 0, 0, 0, {}};
            return true;
        }
    }
    // What the frame shows (a menu opened or closed, the bar) goes out before
    // timers: one due every millisecond must not hold it back, nor one whose
    // work takes long while the frame waits for the display's pace.
    if (PresentAll(q)) return false;
    return NextTimer(q, NowMs(), msg, remove);
}

uint32_t WaitBudget(Queue& q) {
    uint64_t now = NowMs(), wait = 500, present = kNoPresentPending;
    // A present held back to keep to the display's pace wakes the loop; the
    // timers wait for it.
    for (Window* top : TopLevelsOfThisThread())
        if (IsOwnedBy(top, q)) present = std::min<uint64_t>(present, DisplayFlush(*top));
    if (present != kNoPresentPending) return static_cast<uint32_t>(std::min(wait, present));
    for (const Timer& t : q.timers) wait = std::min<uint64_t>(wait, t.due > now ? t.due - now : 0);
    return static_cast<uint32_t>(wait);
}

void DestroyTree(Window* w, std::vector<Window*>& order) {
    order.push_back(w);
    for (Window* c : w->children) DestroyTree(c, order);
}

bool Contains(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

namespace detail {

Queue& ThisQueue() {
    if (!tQueue.queue) {
        auto q = std::make_shared<Queue>();
        q->threadId = gNextThreadId++;
        std::lock_guard guard(gLock);
        gQueues[q->threadId] = q;
        tQueue.queue = q;
    }
    return *tQueue.queue;
}

Window* Find(HWND hwnd) {
    std::lock_guard guard(gLock);
    auto it = gWindows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == gWindows.end() || it->second->destroyed ? nullptr : it->second;
}

std::vector<Window*> TopLevelsOfThisThread() {
    Queue* q = &ThisQueue();
    std::vector<Window*> out;
    std::lock_guard guard(gLock);
    for (auto& [handle, w] : gWindows)
        if (!w->parent && !w->destroyed && w->queue.get() == q) out.push_back(w);
    std::sort(out.begin(), out.end(), [](Window* a, Window* b) { return a->handle < b->handle; });
    return out;
}

}  // namespace detail

void* GetDeviceSurface(HWND child) {
    Window* w = Find(child);
    return w ? DisplayDeviceSurface(*w) : nullptr;
}

namespace detail {

RECT RectInTop(const Window* w) {
    RECT r{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    for (const Window* p = w; p->parent; p = p->parent) {
        r.left += p->rect.left;
        r.right += p->rect.left;
        r.top += p->rect.top;
        r.bottom += p->rect.top;
    }
    return r;
}

Window* HitTest(Window* top, int x, int y, POINT& local) {
    Window* w = top;
    int lx = x, ly = y;
    for (bool descended = true; descended;) {
        descended = false;
        // Later children lie above earlier ones.
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
            Window* c = *it;
            if (c->visible && Contains(c->rect, lx, ly)) {
                lx -= c->rect.left;
                ly -= c->rect.top;
                w = c;
                descended = true;
                break;
            }
        }
    }
    local = {lx, ly};
    return w;
}

void QueueInput(const MSG& msg) {
    Queue& q = ThisQueue();
    q.input.push_back(msg);
    q.input.back().keys = q.pumpedKeys;
}

void QueueInputNext(const MSG& msg) {
    ThisQueue().input.push_front(msg);
}

void InvalidateAll(Window* w) {
    InvalidateRect(w->Handle(), nullptr, true);
    for (Window* c : w->children) InvalidateAll(c);
}

uint64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace detail

void SetHeadless(bool headless) {
    gHeadless = headless;
}
bool IsHeadless() {
    return gHeadless || !DisplayAvailable();
}

void CloseDisplay() {
    {
        std::lock_guard guard(gLock);
        for (const auto& [handle, w] : gWindows)
            if (w->top && w->top->display) return;
    }
    detail::DisplayClose();
}

bool RegisterClass(const WNDCLASS& wc) {
    if (wc.name.empty() || !wc.proc) return false;
    std::lock_guard guard(gLock);
    return gClasses.emplace(wc.name, wc).second;
}

bool GetClassInfo(const std::string& name, WNDCLASS& out) {
    std::lock_guard guard(gLock);
    auto it = gClasses.find(name);
    if (it == gClasses.end()) return false;
    out = it->second;
    return true;
}

HWND CreateWindowEx(uint32_t exStyle, const std::string& className, const std::string& title,
                    uint32_t style, int x, int y, int width, int height, HWND parentHandle,
                    uint32_t id) {
    WNDCLASS cls;
    if (!GetClassInfo(className, cls)) return nullptr;
    Window* parent = nullptr;
    if (style & WS_CHILD) {
        parent = Find(parentHandle);
        if (!parent || parent->queue.get() != &ThisQueue()) return nullptr;
    }
    auto w = std::make_unique<Window>();
    w->cls = cls;
    w->style = style;
    w->exStyle = exStyle;
    w->title = title;
    w->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->parent = parent;
    w->id = parent ? id : 0;
    ThisQueue();
    w->queue = tQueue.queue;
    if (!parent) {
        w->top = std::make_unique<TopLevel>();
        w->top->icon = cls.icon;
        w->top->canvas.Resize(std::max(width, 1), std::max(height, 1), 0xFFFFFFFF);
        if (!gHeadless && DisplayAvailable()) {
            if (!DisplayCreate(*w)) return nullptr;
            w->queue->display = true;
        }
    }
    Window* raw = w.release();
    {
        std::lock_guard guard(gLock);
        raw->handle = gNextHandle++;
        gWindows[raw->handle] = raw;
    }
    if (parent) parent->children.push_back(raw);
    if (style & WS_VISIBLE) ShowWindow(raw->Handle(), SW_SHOW);
    return raw->Handle();
}

bool DestroyWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || w->destroying || w->queue.get() != &ThisQueue()) return false;
    Queue& q = ThisQueue();
    std::vector<Window*> order;
    DestroyTree(w, order);
    for (Window* x : order) x->destroying = true;
    if (w->top && MenuActive(*w)) MenuLeave(*w);
    // The window gets WM_DESTROY before its children, as on the system; each
    // is looked up again because a handler may destroy windows itself.
    std::vector<HWND> handles;
    for (Window* x : order) handles.push_back(x->Handle());
    for (HWND h : handles) {
        if (h == q.capture) {
            q.capture = nullptr;
            SendMessage(h, WM_CAPTURECHANGED, 0, 0);
        }
        if (h == q.focus) q.focus = nullptr;
        if (h == q.active) q.active = nullptr;
        if (Find(h)) SendMessage(h, WM_DESTROY, 0, 0);
    }
    std::erase_if(q.timers, [&](const Timer& t) {
        return std::find(handles.begin(), handles.end(), t.hwnd) != handles.end();
    });
    FreeDropsOf(handles);
    std::vector<Window*> dead;
    {
        std::lock_guard guard(gLock);
        for (HWND h : handles) {
            auto it = gWindows.find(reinterpret_cast<uintptr_t>(h));
            if (it == gWindows.end()) continue;
            dead.push_back(it->second);
            gWindows.erase(it);
        }
    }
    for (Window* x : dead) x->destroyed = true;
    if (w->parent && !w->parent->destroyed) {
        std::erase(w->parent->children, w);
        InvalidateRect(w->parent->Handle(), nullptr, true);
    }
    for (Window* x : dead) {
        if (x->top) DisplayDestroy(*x);
        delete x;
    }
    return true;
}

bool IsWindow(HWND hwnd) {
    return Find(hwnd) != nullptr;
}

HWND GetParent(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && w->parent ? w->parent->Handle() : nullptr;
}

HWND GetTopLevel(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    while (w->parent) w = w->parent;
    return w->Handle();
}

intptr_t GetUserData(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->userData : 0;
}

intptr_t SetUserData(HWND hwnd, intptr_t value) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    std::swap(w->userData, value);
    return value;
}

bool ShowWindow(HWND hwnd, int command) {
    Window* w = Find(hwnd);
    if (!w) return false;
    bool wasVisible = w->visible;
    w->visible = command != SW_HIDE && command != SW_SHOWMINIMIZED;
    if (w->top) {
        DisplayShow(*w, command);
        w->top->maximized = command == SW_SHOWMAXIMIZED;
        // Without a display nothing else activates a window that appears.
        if (w->visible && !w->top->display && !ThisQueue().active) {
            ThisQueue().active = hwnd;
            SendMessage(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        }
    }
    if (w->visible && !w->shownOnce) {
        // A window shown for the first time learns its size, as on the system.
        w->shownOnce = true;
        RECT client;
        GetClientRect(hwnd, client);
        SendMessage(hwnd, WM_SIZE, command == SW_SHOWMAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED,
                    MakeLParam(client.right, client.bottom));
        w = Find(hwnd);
        if (!w) return wasVisible;
    }
    if (w->visible != wasVisible) {
        SendMessage(hwnd, WM_SHOWWINDOW, w->visible, 0);
        if (Window* again = Find(hwnd)) {
            if (again->visible)
                InvalidateAll(again);
            else if (again->parent)
                InvalidateRect(again->parent->Handle(), nullptr, true);
        }
    }
    return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
    for (Window* w = Find(hwnd); w; w = w->parent)
        if (!w->visible) return false;
    return Find(hwnd) != nullptr;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
    Window* w = Find(hwnd);
    if (!w) return false;
    width = std::max(width, 0);
    height = std::max(height, 0);
    bool resized = width != w->rect.right - w->rect.left || height != w->rect.bottom - w->rect.top;
    w->rect = {x, y, x + width, y + height};
    if (w->top) DisplayMove(*w);
    if (w->parent && repaint) InvalidateRect(w->parent->Handle(), nullptr, true);
    if (repaint) InvalidateAll(w);
    if (resized) {
        RECT client;
        GetClientRect(hwnd, client);
        SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MakeLParam(client.right, client.bottom));
    }
    return true;
}

bool SetWindowText(HWND hwnd, const std::string& text) {
    Window* w = Find(hwnd);
    if (!w) return false;
    w->title = text;
    if (w->top) DisplaySetTitle(*w);
    return true;
}

std::string GetWindowText(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->title : std::string();
}

bool SetWindowIcon(HWND hwnd, HICON icon) {
    Window* w = Find(hwnd);
    if (!w || !w->top) return false;
    w->top->icon = icon;
    DisplaySetIcon(*w);
    return true;
}

bool GetClientRect(HWND hwnd, RECT& out) {
    Window* w = Find(hwnd);
    if (!w) return false;
    int bar = w->top ? w->top->menuBarHeight : 0;
    out = {0, 0, w->rect.right - w->rect.left, std::max(0, w->rect.bottom - w->rect.top - bar)};
    return true;
}

bool GetWindowRect(HWND hwnd, RECT& out) {
    Window* w = Find(hwnd);
    if (!w) return false;
    POINT p{0, 0};
    if (w->parent) ClientToScreen(w->parent->Handle(), p);
    out = {w->rect.left + p.x, w->rect.top + p.y, w->rect.right + p.x, w->rect.bottom + p.y};
    return true;
}

bool ClientToScreen(HWND hwnd, POINT& p) {
    Window* w = Find(hwnd);
    if (!w) return false;
    for (; w->parent; w = w->parent) {
        p.x += w->rect.left;
        p.y += w->rect.top;
    }
    p.x += w->rect.left;
    p.y += w->rect.top + w->top->menuBarHeight;
    return true;
}

bool ScreenToClient(HWND hwnd, POINT& p) {
    POINT origin{0, 0};
    if (!ClientToScreen(hwnd, origin)) return false;
    p.x -= origin.x;
    p.y -= origin.y;
    return true;
}

RECT GetDesktopRect() {
    RECT r{0, 0, 1024, 768};
    DisplayDesktop(r);
    return r;
}

bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase) {
    Window* w = Find(hwnd);
    if (!w) return false;
    RECT client;
    GetClientRect(hwnd, client);
    RECT r = rect ? *rect : client;
    r = {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, client.right),
         std::min(r.bottom, client.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) return true;
    if (w->invalid) {
        RECT& u = w->invalidRect;
        u = {std::min(u.left, r.left), std::min(u.top, r.top), std::max(u.right, r.right),
             std::max(u.bottom, r.bottom)};
    } else {
        w->invalidRect = r;
    }
    w->invalid = true;
    w->erase = w->erase || erase;
    return true;
}

bool ValidateRect(HWND hwnd, const RECT*) {
    Window* w = Find(hwnd);
    if (!w) return false;
    w->invalid = false;
    w->erase = false;
    return true;
}

bool UpdateWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return false;
    if (w->invalid && w->visible) SendMessage(hwnd, WM_PAINT, 0, 0);
    return true;
}

LRESULT SendMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> target = QueueOf(hwnd);
    if (!target) return 0;
    Queue& mine = ThisQueue();
    if (target.get() == &mine) return Call(hwnd, message, wParam, lParam);
    auto s = std::make_shared<SentMessage>();
    s->msg = {hwnd, message, wParam, lParam, 0, {}};
    {
        std::lock_guard guard(target->lock);
        if (!target->alive) return 0;
        target->sent.push_back(s);
        Wake(*target);
    }
    // While waiting, messages sent to this thread are handled, so two threads
    // sending to each other do not wait for ever.
    for (;;) {
        {
            std::unique_lock guard(s->lock);
            if (s->cv.wait_for(guard, std::chrono::milliseconds(5), [&] { return s->done; }))
                return s->result;
        }
        HandleSent(mine);
    }
}

bool PostMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) ThisQueue();  // a message without a window goes to the calling thread
    std::shared_ptr<Queue> target = hwnd ? QueueOf(hwnd) : tQueue.queue;
    if (!target) return false;
    std::lock_guard guard(target->lock);
    if (!target->alive) return false;
    target->posted.push_back({hwnd, message, wParam, lParam, static_cast<uint32_t>(NowMs()), {}});
    Wake(*target);
    return true;
}

bool PostThreadMessage(uint64_t threadId, uint32_t message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> target;
    {
        std::lock_guard guard(gLock);
        auto it = gQueues.find(threadId);
        if (it != gQueues.end()) target = it->second.lock();
    }
    if (!target) return false;
    std::lock_guard guard(target->lock);
    if (!target->alive) return false;
    target->posted.push_back(
        {nullptr, message, wParam, lParam, static_cast<uint32_t>(NowMs()), {}});
    Wake(*target);
    return true;
}

void PostQuitMessage(int exitCode) {
    Queue& q = ThisQueue();
    q.quit = true;
    q.quitCode = exitCode;
}

uint64_t ThreadId() {
    return ThisQueue().threadId;
}

int GetMessage(MSG& msg) {
    for (;;) {
        if (PeekCore(msg, true)) return msg.message == WM_QUIT ? 0 : 1;
        WaitMessage(WaitBudget(ThisQueue()));
    }
}

bool PeekMessage(MSG& msg, bool remove) {
    return PeekCore(msg, remove);
}

void WaitMessage(uint32_t timeoutMs) {
    Queue& q = ThisQueue();
    if (q.display) {
        DisplayPump(timeoutMs);
        return;
    }
    std::unique_lock guard(q.lock);
    q.cv.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                  [&] { return !q.posted.empty() || !q.sent.empty(); });
}

bool TranslateMessage(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    uint32_t vk = static_cast<uint32_t>(msg.wParam);
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    uint32_t ch = 0;
    if (msg.message == WM_SYSKEYDOWN) {
        // Alt+letter and Alt+digit become WM_SYSCHAR: the menu's mnemonics.
        if (vk >= 'A' && vk <= 'Z')
            ch = vk - 'A' + 'a';
        else if (vk >= '0' && vk <= '9')
            ch = vk;
        if (!ch) return false;
        QueueInputNext(Translation(msg, WM_SYSCHAR, ch));
        return true;
    }
    // Text arrives as WM_CHAR from the display's text input; the keys that
    // produce control characters are added here, as the system does.
    if (vk == VK_BACK)
        ch = 0x08;
    else if (vk == VK_TAB && !ctrl)
        ch = 0x09;
    else if (vk == VK_RETURN)
        ch = ctrl ? 0x0A : 0x0D;
    else if (vk == VK_ESCAPE)
        ch = 0x1B;
    else if (ctrl && vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 1;
    if (!ch) return false;
    QueueInputNext(Translation(msg, WM_CHAR, ch));
    return true;
}

LRESULT DispatchMessage(const MSG& msg) {
    if (!msg.hwnd) {
        if (msg.message == WM_DROPFILES) FreeDrop(msg.wParam);
        return 0;
    }
    LRESULT r = Call(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    // A paint handler that did not validate still must not be asked again at once.
    if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);
    // A drop the handler did not finish ends with its message.
    if (msg.message == WM_DROPFILES) FreeDrop(msg.wParam);
    return r;
}

LRESULT CallWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    return Call(hwnd, message, wParam, lParam);
}

uintptr_t SetTimer(HWND hwnd, uintptr_t id, uint32_t periodMs) {
    if (hwnd && !Find(hwnd)) return 0;
    Queue& q = ThisQueue();
    uint64_t due = NowMs() + std::max<uint32_t>(periodMs, 1);
    for (Timer& t : q.timers)
        if (t.hwnd == hwnd && t.id == id) {
            t.period = periodMs;
            t.due = due;
            return id;
        }
    q.timers.push_back({hwnd, id, periodMs, due});
    return id;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
    Queue& q = ThisQueue();
    return std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) >
           0;
}

HWND SetCapture(HWND hwnd) {
    Queue& q = ThisQueue();
    HWND old = q.capture;
    if (!Find(hwnd)) return old;
    q.capture = hwnd;
    DisplayCaptureMouse(true);
    if (old && old != hwnd) SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

bool ReleaseCapture() {
    Queue& q = ThisQueue();
    HWND old = q.capture;
    q.capture = nullptr;
    if (old) DisplayCaptureMouse(false);
    if (old) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture() {
    return ThisQueue().capture;
}

HWND SetFocus(HWND hwnd) {
    Queue& q = ThisQueue();
    HWND old = q.focus;
    if (hwnd && !Find(hwnd)) return nullptr;
    if (old == hwnd) return old;
    q.focus = hwnd;
    if (old) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && q.focus == hwnd) SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    return ThisQueue().focus;
}
HWND GetActiveWindow() {
    return ThisQueue().active;
}

bool GetCursorPos(POINT& p) {
    p = {0, 0};
    return DisplayCursorPos(p);
}

namespace {
thread_local uint64_t tDefaultCount = 0;
}  // namespace

uint64_t DefWindowProcCount() {
    return tDefaultCount;
}

LRESULT DefWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    ++tDefaultCount;
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);
            return 0;
        case WM_ACTIVATE:
            if (LoWord(wParam) != WA_INACTIVE) SetFocus(hwnd);
            return 0;
        case WM_SETCURSOR: {
            // The parent may set the cursor for its children; otherwise the class cursor.
            if (w->parent && SendMessage(w->parent->Handle(), WM_SETCURSOR, wParam, lParam))
                return 1;
            if (LoWord(lParam) == HTCLIENT && w->cls.cursor) {
                SetCursor(w->cls.cursor);
                return 1;
            }
            return 0;
        }
        case WM_ERASEBKGND:
            EraseWithClassBackground(hwnd, reinterpret_cast<HDC__*>(wParam));
            return 1;
        case WM_MOUSEWHEEL:
            // Unhandled wheel turns go to the parent, as on the system.
            return w->parent ? SendMessage(w->parent->Handle(), message, wParam, lParam) : 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F10) {
                SendMessage(GetTopLevel(hwnd), WM_SYSCOMMAND, SC_KEYMENU, 0);
                return 0;
            }
            return 0;
        case WM_SYSKEYUP:
            if (wParam == VK_MENU && ThisQueue().altAlone) {
                ThisQueue().altAlone = false;
                SendMessage(GetTopLevel(hwnd), WM_SYSCOMMAND, SC_KEYMENU, 0);
            }
            return 0;
        case WM_SYSCHAR:
            SendMessage(GetTopLevel(hwnd), WM_SYSCOMMAND, SC_KEYMENU, wParam);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessage(hwnd, WM_CLOSE, 0, 0);
                    return 0;
                case SC_KEYMENU:
                    if (w->top && !w->top->menu.menu.items.empty())
                        MenuEnter(*w, static_cast<char32_t>(lParam));
                    return 0;
                case SC_SCREENSAVE:
                case SC_MONITORPOWER:
                    // Nobody objected: the screen saver may start.
                    AllowScreenSaver(true);
                    return 0;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
                    return 0;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_SHOWMINIMIZED);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    return 0;
            }
            return 0;
        case WM_POWERBROADCAST:
            return 1;
        default:
            return 0;
    }
}

}  // namespace mtxOs
