// The host never goes down because of the X server: a server that dies with
// the editor open (whoever is pumping then), one that stops answering, and
// the process's X error handler, which is the host's in every interleaving of
// its threads with ours and of two copies of the plug-in.
#include "EditorHostFixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace edhost {
namespace {

struct LostCase {
    const char* name;
    int idleHz;        // how the host drives the editor after the server died; 0: not at all
    int afterMs;       // how long before it closes the editor
};

const LostCase kLost[] = {
    {"the host's idle meets the lost connection", 30, 300},
    {"the fallback thread meets it", 0, 600},
    {"close is the first to meet it", 0, 0},
};

TEST_F(EditorHostTest, AServerThatDiesWithTheEditorOpenLeavesTheHostRunning) {
    Instance fx(host);
    prepare(fx);
    AudioThread audio(fx.effect());
    for (const LostCase& c : kLost) {
        SCOPED_TRACE(c.name);
        {
            PrivateServer server;
            ASSERT_TRUE(server.running());
            const Window parent = server.makeParent();
            DisplayVariable restore;
            restore.set(server.name());
            ASSERT_EQ(open(fx, parent), 1);
            idleFor(fx, 60, 150);  // drawn and presented
            server.kill();
            idleFor(fx, c.idleHz, c.afterMs);
            fx.dispatch(vst::effEditClose);
            EXPECT_TRUE(audio.advances(20)) << "processing stopped";
        }
        // On a live server the same instance opens a fresh window.
        const Window parent = makeParent();
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        EXPECT_EQ(childrenOf(parent).size(), 1u);
        fx.dispatch(vst::effEditClose);
        destroyParent(parent);
    }
    audio.stop();
    fx.close();
}

TEST_F(EditorHostTest, AStoppedServerMakesOpenAnswerZeroInsteadOfHanging) {
    PrivateServer server;
    ASSERT_TRUE(server.running());
    const Window parent = server.makeParent();
    XSync(server.host, False);
    Instance fx(host);
    prepare(fx);
    DisplayVariable restore;
    restore.set(server.name());
    server.stop();
    const auto start = Clock::now();
    EXPECT_EQ(open(fx, parent), 0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LT(took, 2500) << "effEditOpen waited " << took << " ms";
    fx.dispatch(vst::effEditIdle);
    fx.dispatch(vst::effEditClose);
    // Answering again, the server takes the window.
    server.resume();
    ASSERT_EQ(open(fx, parent), 1);
    idleFor(fx, 60, 100);
    fx.dispatch(vst::effEditClose);
}

// The idiom hosts use around requests that may fail: their own handler for
// the length of a scope, then the one before it back.
int hostsScopeErrors = 0;
int hostsScopeHandler(Display*, XErrorEvent*) {
    ++hostsScopeErrors;
    return 0;
}

// A copy of the plug-in under another name: the loader maps it a second time.
std::string copyOfPlugin() {
    const std::string from = TestHost::defaultPluginPath();
    const std::string to = std::filesystem::temp_directory_path() / ("vexal-copy-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    return to;
}

TEST_F(EditorHostTest, TheHostsErrorHandlerSeesAllItsErrorsWhileOurThreadsDrawAndFail) {
    const std::string copy = copyOfPlugin();
    constexpr int kScopes = 1500;
    {
        TestHost second(copy);
        ASSERT_TRUE(second.loaded());
        Instance a(host), b(second);
        prepare(a);
        prepare(b);
        AudioThread audioA(a.effect()), audioB(b.effect());
        // The host makes no idle calls: both fallback threads draw moving meters.
        const Window first = makeParent(40, 40), other = makeParent(420, 200);
        ASSERT_EQ(open(a, first), 1);
        ASSERT_EQ(open(b, other), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Window destroyed = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 4, 4, 0, 0, 0);
        XDestroyWindow(display, destroyed);
        XSync(display, False);
        hostsScopeErrors = 0;
        int replaced = 0;
        for (int i = 0; i < kScopes; ++i) {
            const XErrorHandler before = XSetErrorHandler(hostsScopeHandler);
            XMapWindow(display, destroyed);
            XSync(display, False);
            replaced += XSetErrorHandler(before) != &hostsScopeHandler;
            if (i % 300 == 150) {
                // The second copy's window opens on a parent the host destroys
                // at once: its requests fail on the fallback thread.
                b.dispatch(vst::effEditClose);
                const Window doomed = makeParent(420, 200);
                ASSERT_EQ(open(b, doomed), 1);
                destroyParent(doomed);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        EXPECT_EQ(replaced, 0) << "the host's scope ended with another handler in place";
        EXPECT_EQ(hostsScopeErrors, kScopes);
        a.dispatch(vst::effEditClose);
        b.dispatch(vst::effEditClose);
        audioA.stop();
        audioB.stop();
    }
    std::filesystem::remove(copy);
    // The copy is unloaded: an error now reaches the handler in place, the test's own.
    const Window destroyed = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 4, 4, 0, 0, 0);
    XDestroyWindow(display, destroyed);
    XMapWindow(display, destroyed);
    XSync(display, False);
    EXPECT_EQ(xErrors, 1);
    xErrors = 0;
}

}  // namespace
}  // namespace edhost
