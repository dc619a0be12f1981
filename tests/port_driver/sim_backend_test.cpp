// The DorvaneDLL library itself, loaded by a program with LD_LIBRARY_PATH pointing
// at the simulation backend, as tester-sim --port-io runs the self-test: the same
// driver binary then talks to the virtual UART, set up from TESTER_SIM_OPTIONS.
// Each suite runs under the options its ctest entry sets.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "port_api.h"

namespace {

constexpr unsigned short com1 = 0x3F8;

using Grant = int (*)(unsigned short, unsigned short);

TEST(SimBackendHealthy, IsTheLibraryThatLoaded)
{
    void *in = dlsym(RTLD_DEFAULT, "tester_port_in");
    ASSERT_NE(in, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(in, &info), 0);
    EXPECT_NE(std::string(info.dli_fname).find("/sim/libtester_port.so"), std::string::npos)
        << info.dli_fname;
}

TEST(SimBackendHealthy, GrantsTheUartPorts)
{
    const auto grant = reinterpret_cast<Grant>(dlsym(RTLD_DEFAULT, "tester_port_grant"));
    ASSERT_NE(grant, nullptr);
    EXPECT_EQ(grant(com1, 8), 0);
}

TEST(SimBackendHealthy, DriverTalksToTheBox)
{
    Init_COM(com1);
    unsigned char id = 0;
    EXPECT_EQ(Get_ID(com1, &id), TESTER_OK);
    EXPECT_EQ(id, 0x2A);
    EXPECT_EQ(Set_SI(com1, 0xF9), TESTER_OK);
    EXPECT_EQ(Set_SO(com1, 0xCF), TESTER_OK);
    unsigned char status = 0;
    EXPECT_EQ(RD_RS(com1, &status), TESTER_OK);
    EXPECT_EQ(status, 0x09);
    EXPECT_EQ(Put_ArincWordSO(com1, 0x2A, 0x1234562A), TESTER_OK);
    unsigned long word = 0;
    EXPECT_EQ(Get_ArincWordSO(com1, 0x2A, &word), TESTER_OK);
    EXPECT_EQ(word, 0x1234562Au);
}

// Options: --fault silent@Get_ID --log SIM_BACKEND_LOG
TEST(SimBackendFaulty, TakesItsFaultsAndLogFromTheEnvironment)
{
    Init_COM(com1);
    unsigned char id = 0xEE;
    EXPECT_EQ(Get_ID(com1, &id), TESTER_E_NO_DATA);
    unsigned char status = 0;
    EXPECT_EQ(RD_RS(com1, &status), TESTER_OK);

    std::stringstream log;
    log << std::ifstream(SIM_BACKEND_LOG).rdbuf();
    EXPECT_NE(log.str().find("host->box  00  (ignored)"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("box->host  04  (echo)"), std::string::npos) << log.str();
}

// Options that do not parse: no box at all rather than a healthy one.
TEST(SimBackendMisconfigured, StopsTheProgramNamingTheVariable)
{
    EXPECT_EXIT(Init_COM(com1), ::testing::ExitedWithCode(2),
                "TESTER_SIM_OPTIONS: unknown option \"--no-such-option\"");
}

}  // namespace
