// A host without an application object gets no window from the module, and the call returns.

#include "common/AddonContract.h"

#include <QCoreApplication>

#include <dlfcn.h>

#include <gtest/gtest.h>

TEST(TarselModuleWithoutApplication, ExecuteReturnsAtOnce)
{
    // A Qt host, as the program is, so that the Qt libraries the module brings stay loaded after it goes.
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    void *module = dlopen(TARSEL_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto execute = reinterpret_cast<CvAddonExecute>(dlsym(module, CV_ADDON_ENTRY_NAME));
    ASSERT_NE(execute, nullptr);
    execute(0, "Reader,COM5,9600,N,8,1");
    execute(0, nullptr);
    EXPECT_EQ(dlclose(module), 0);
}
