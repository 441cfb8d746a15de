// What the offscreen tests of the program floor hold between init() and
// cleanup(): the settings and files in a temporary folder of their own, the
// fake platform in place of the desktop and, for the tests of the whole
// program, the program itself. Only for tests linked with the program floor.
#pragma once

#include "Application.h"
#include "FakePlatform.h"
#include "TestEnv.h"

#include <QCoreApplication>
#include <memory>

struct Offscreen {
    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FakePlatformGuard> fake;

    FakePlatform &platform() { return **fake; }
    // A fresh folder, then the fake platform.
    void setUpOffscreen() {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<FakePlatformGuard>();
    }
    // The platform goes before the folder.
    void tearDownOffscreen() {
        fake.reset();
        env.reset();
    }
};

struct ProgramFixture : Offscreen {
    std::unique_ptr<Application> app; // made by the test itself

    RecordEditor *editor() { return app->capture().editor(); }
    QuickListWindow *list() { return app->callUp().list(); }
    // The program's runtime folder (its lock) in the test's folder too.
    void setUpProgram() {
        setUpOffscreen();
        qputenv("XDG_RUNTIME_DIR", env->dir().toUtf8());
    }
    // The program first, with the windows it left to delete, then the rest.
    void tearDownProgram() {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        tearDownOffscreen();
    }
};
