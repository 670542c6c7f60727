// The check that end-to-end tests make before they talk to an outside program.

#include "tests/support/peers.h"

#include <gtest/gtest.h>

namespace {

TEST(Peers, AMissingProgramOrModuleIsNamedWithTheFirstPackageToInstall) {
    Peers present{{"true", "coreutils", {"/bin/true"}}};
    EXPECT_EQ(missingPeer(present), "");

    Peers absentProgram{{"true", "coreutils", {"/bin/true"}},
                        {"no such tool", "no-such-package", {"/nonexistent/tool", "--version"}},
                        {"another", "another-package", {"/nonexistent/other"}}};
    EXPECT_EQ(missingPeer(absentProgram), "missing test peer: no such tool does not work; install the Debian "
                                          "package no-such-package (./scripts/setup installs every peer)");

    // A program that runs but fails (an import that is not there) counts as missing too.
    Peers failing{{"python module velkord_absent",
                   "python3-velkord-absent",
                   {"/usr/bin/python3", "-c", "import velkord_absent"}}};
    EXPECT_NE(missingPeer(failing).find("python3-velkord-absent"), std::string::npos);
}

} // namespace
