#include "app/OnDemandLibrary.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// What a feature sees when its library or one of its functions is there or not.
TEST(OnDemandLibrary, FindsFunctionsOrSaysWhatIsMissing) {
    struct Case {
        const char* soname;
        const char* function;
        bool complete;
        const char* errorMentions;
    };
    const Case cases[] = {
        {"libm.so.6", "sqrt", true, ""},
        {"libm.so.6", "no_such_function_here", false, "no_such_function_here"},
        {"liboculon-no-such-library.so.0", "sqrt", false, "liboculon-no-such-library.so.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.soname) + " " + c.function);
        COnDemandLibrary library(c.soname);
        double (*function)(double) = nullptr;
        library.Find(function, c.function);
        EXPECT_EQ(library.Complete(), c.complete);
        EXPECT_EQ(function != nullptr, c.complete);
        if (c.complete) {
            EXPECT_EQ(function(16.0),
                      4.0); // the library's own function, called through the pointer
            EXPECT_EQ(library.Error(), "");
        } else {
            EXPECT_NE(library.Error().find(c.errorMentions), std::string::npos) << library.Error();
        }
    }
}

// One missing name leaves the library incomplete, whatever is found after it.
TEST(OnDemandLibrary, StaysIncompleteAfterAMissingName) {
    COnDemandLibrary library("libm.so.6");
    double (*function)(double) = nullptr;
    library.Find(function, "no_such_function_here");
    library.Find(function, "sqrt");
    EXPECT_NE(function, nullptr);
    EXPECT_FALSE(library.Complete());
}

} // namespace
