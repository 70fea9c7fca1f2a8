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
    EXPECT_EQ(SafeAddress("[::1]/x"), "http://[::1]/x");
}

TEST(SafeAddress, LocalFilesAndProgramsAreRefused) {
    for (const char* bad :
         {"file:///etc/passwd", "FILE:/bin/sh", "javascript:alert(1)", "ftp://example.org",
          "smb://server/share", "C:\\Windows\\x.exe", "data:text/html,hi", "", "   ",
          // local paths without a scheme, which completing would turn into http:///etc/passwd
          "/etc/passwd", "//server/share", "./x", "../x", "~/x", "\\\\server\\share", ".hidden"})
        EXPECT_EQ(SafeAddress(bad), std::nullopt) << bad;
}

// A mail address keeps its recipients and only the fields that fill a new message, each
// exactly as written; anything that could attach a file goes.
TEST(SafeAddress, MailAddressesKeepOnlyTheMessageFields) {
    const struct {
        const char* given;
        const char* opened;
    } cases[] = {
        {"mailto:a@example.org?subject=Hi%20there&body=Line%0A2&cc=b@x.org&bcc=c@x.org",
         "mailto:a@example.org?subject=Hi%20there&body=Line%0A2&cc=b@x.org&bcc=c@x.org"},
        {"mailto:a@example.org?attach=/etc/passwd&Subject=x&FILE=~/.ssh/id_rsa&BODY=y",
         "mailto:a@example.org?Subject=x&BODY=y"},
        {"MAILTO:a@example.org?attachment=/etc/passwd", "MAILTO:a@example.org"},
        {"mailto:a@example.org?to=b@x.org&in-reply-to=z&&subject", "mailto:a@example.org?subject"},
        {"mailto:?body=a=b&c", "mailto:?body=a=b"},
        {"mailto:a@example.org?subject=x#&attach=/etc/passwd", "mailto:a@example.org?subject=x"},
        {"mailto:a@example.org,b@example.org", "mailto:a@example.org,b@example.org"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeAddress(c.given), c.opened) << c.given;
}

} // namespace
} // namespace pictorelle
