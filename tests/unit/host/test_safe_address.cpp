#include "platform/SafeAddress.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

TEST(SafeAddress, WebAndMailAddressesPassUnchanged) {
    EXPECT_EQ(SafeAddress("https://example.org/a?b=c"), "https://example.org/a?b=c");
    EXPECT_EQ(SafeAddress("HTTP://EXAMPLE.ORG"), "HTTP://EXAMPLE.ORG");
    EXPECT_EQ(SafeAddress("mailto:someone@example.org"), "mailto:someone@example.org");
    EXPECT_EQ(SafeAddress("  https://example.org/ \r\n"), "https://example.org/");
}

TEST(SafeAddress, AnAddressWithoutSchemeIsAWebAddress) {
    EXPECT_EQ(SafeAddress("example.org"), "http://example.org");
    EXPECT_EQ(SafeAddress("www.example.org/path:x"), "http://www.example.org/path:x");
    EXPECT_EQ(SafeAddress("example.org:8080/x"), "http://example.org:8080/x");
    EXPECT_EQ(SafeAddress("localhost:8080"), "http://localhost:8080");
}

TEST(SafeAddress, LocalFilesAndProgramsAreRefused) {
    for (const char* bad :
         {"file:///etc/passwd", "FILE:/bin/sh", "javascript:alert(1)", "ftp://example.org",
          "smb://server/share", "C:\\Windows\\x.exe", "data:text/html,hi", "", "   "})
        EXPECT_EQ(SafeAddress(bad), std::nullopt) << bad;
}

} // namespace
} // namespace pictorelle
