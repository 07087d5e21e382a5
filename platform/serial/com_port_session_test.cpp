#include "platform/serial/com_port_session.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

class FakePort final : public ComPortControl {
 public:
  LineSettings Line() const override { return line; }
  LineSettings Change(const LineSettings& wanted) override {
    if (wanted.baudRate != 12345) {  // a rate the port does not have
      line = wanted;
    }
    return line;
  }
  void Purge(bool input, bool output) override { purges.push_back({input, output}); }

  LineSettings line;
  std::vector<std::pair<bool, bool>> purges;
};

std::string B(std::initializer_list<int> bytes) {
  std::string text;
  for (int byte : bytes) {
    text += static_cast<char>(byte);
  }
  return text;
}

constexpr int Iac = 255, Sb = 250, Se = 240, Will = 251, Wont = 252, Do = 253, Dont = 254;

std::string Sub(std::initializer_list<int> body) {
  return B({Iac, Sb, 44}) + B(body) + B({Iac, Se});
}

TEST(ComPortSessionTest, AnswersEachCommandAsTheRfcAsks) {
  struct Case {
    const char* what;
    std::string in;
    std::string reply;
  } cases[] = {
      {"DO COM-PORT", B({Iac, Do, 44}), B({Iac, Will, 44}) + Sub({107, 0xB0})},
      {"WILL COM-PORT", B({Iac, Will, 44}), B({Iac, Do, 44}) + Sub({107, 0xB0})},
      {"DO BINARY, already offered", B({Iac, Do, 0}), ""},
      {"WILL SGA", B({Iac, Will, 3}), B({Iac, Do, 3})},
      {"DO ECHO refused", B({Iac, Do, 1}), B({Iac, Wont, 1})},
      {"WILL LINEMODE refused", B({Iac, Will, 34}), B({Iac, Dont, 34})},
      {"DONT BINARY", B({Iac, Dont, 0}), B({Iac, Wont, 0})},
      {"WONT unknown: nothing", B({Iac, Wont, 99}), ""},
      {"baud 9600", Sub({1, 0, 0, 0x25, 0x80}), Sub({101, 0, 0, 0x25, 0x80})},
      {"baud query", Sub({1, 0, 0, 0, 0}), Sub({101, 0, 0, 0x12, 0xC0})},
      {"baud refused", Sub({1, 0, 0, 0x30, 0x39}), Sub({101, 0, 0, 0x12, 0xC0})},
      {"data size 7", Sub({2, 7}), Sub({102, 7})},
      {"data size 9 keeps 8", Sub({2, 9}), Sub({102, 8})},
      {"parity even", Sub({3, 3}), Sub({103, 3})},
      {"stop size 2", Sub({4, 2}), Sub({104, 2})},
      {"hardware flow", Sub({5, 3}), Sub({105, 3})},
      {"flow query", Sub({5, 0}), Sub({105, 1})},
      {"DTR off", Sub({5, 9}), Sub({105, 9})},
      {"DTR query", Sub({5, 7}), Sub({105, 8})},
      {"RTS off", Sub({5, 12}), Sub({105, 12})},
      {"break on", Sub({5, 5}), Sub({105, 5})},
      {"line state mask", Sub({10, 0x10}), Sub({110, 0x10})},
      {"modem state mask", Sub({11, 0x30}), Sub({111, 0x30})},
      {"modem state", Sub({7}), Sub({107, 0xB0})},
      {"line state", Sub({6}), Sub({106, 0})},
      {"purge both", Sub({12, 3}), Sub({112, 3})},
      {"suspend: no answer", Sub({8}), ""},
      {"signature", Sub({0}), B({Iac, Sb, 44, 100}) + "Velmora splitter" + B({Iac, Se})},
      {"unknown command ignored", Sub({77, 1}), ""},
      {"another option's subnegotiation ignored", B({Iac, Sb, 24, 1, Iac, Se}), ""},
      {"a mask of 255 is doubled", Sub({10, 255, 255}), Sub({110, 255, 255})},
  };
  for (const Case& c : cases) {
    ComPortSession session;
    FakePort port;
    std::string data;
    std::string reply;
    session.Receive(c.in, port, &data, &reply);
    EXPECT_EQ(reply, c.reply) << c.what;
    EXPECT_EQ(data, "") << c.what;
  }
}

TEST(ComPortSessionTest, SettingsReachThePortEvenByteByByte) {
  ComPortSession session;
  FakePort port;
  std::string in = "ab" + Sub({1, 0, 0, 0x4B, 0}) + B({Iac, Iac}) + "c" + Sub({3, 2}) +
                   Sub({4, 3}) + Sub({5, 9}) + Sub({5, 12}) + Sub({12, 1}) + "d";
  std::string data;
  std::string reply;
  for (char c : in) {
    session.Receive(std::string_view(&c, 1), port, &data, &reply);
  }
  EXPECT_EQ(data,
            "ab\xFF"
            "cd");
  EXPECT_EQ(port.line.baudRate, 19200u);
  EXPECT_EQ(port.line.parity, Parity::Odd);
  EXPECT_EQ(port.line.stopBits, StopBits::OneAndHalf);
  EXPECT_FALSE(port.line.dtr);
  EXPECT_FALSE(port.line.rts);
  ASSERT_EQ(port.purges.size(), 1u);
  EXPECT_EQ(port.purges[0], std::make_pair(true, false));
}

TEST(ComPortSessionTest, EscapeDoublesEveryIac) {
  std::string out;
  ComPortSession::Escape(B({1, 255, 2, 255, 255}), &out);
  EXPECT_EQ(out, B({1, 255, 255, 2, 255, 255, 255, 255}));
}

// Hostile input: an endless subnegotiation is held to MaxSubnegotiation
// and dropped whole; data after it flows again; an IAC flood of commands
// costs answers proportional to it and no state.
TEST(ComPortSessionTest, HostileInputCostsBoundedMemory) {
  ComPortSession session;
  FakePort port;
  std::string data;
  std::string reply;
  std::string endless(1 << 20, '\x01');
  session.Receive(B({Iac, Sb, 44, 1}), port, &data, &reply);
  for (int i = 0; i < 8; ++i) {
    session.Receive(endless, port, &data, &reply);
  }
  session.Receive(B({Iac, Se}) + "ok", port, &data, &reply);
  EXPECT_EQ(data, "ok");
  EXPECT_EQ(reply, "");
  EXPECT_EQ(session.droppedSubnegotiations(), 1u);
  EXPECT_EQ(port.line, LineSettings{});

  // A subnegotiation cut by another command is dropped too.
  data.clear();
  session.Receive(Sub({2}).substr(0, 4) + B({Iac, Do, 3}) + "x", port, &data, &reply);
  EXPECT_EQ(data, "x");
  EXPECT_EQ(reply, B({Iac, Will, 3}));
  EXPECT_EQ(session.droppedSubnegotiations(), 2u);

  std::string flood;
  for (int i = 0; i < 10000; ++i) {
    flood += B({Iac, 241});  // NOP
  }
  reply.clear();
  data.clear();
  session.Receive(flood, port, &data, &reply);
  EXPECT_EQ(data, "");
  EXPECT_EQ(reply, "");
}

}  // namespace
}  // namespace velmora
