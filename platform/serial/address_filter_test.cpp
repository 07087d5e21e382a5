#include "platform/serial/address_filter.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

namespace velmora {
namespace {

sockaddr_storage Address(const char* text) {
  sockaddr_storage storage{};
  auto* four = reinterpret_cast<sockaddr_in*>(&storage);
  auto* six = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, text, &four->sin_addr) == 1) {
    four->sin_family = AF_INET;
  } else if (::inet_pton(AF_INET6, text, &six->sin6_addr) == 1) {
    six->sin6_family = AF_INET6;
  }
  return storage;
}

TEST(AddressFilterTest, AllowsOnlyTheListedNetworks) {
  struct Case {
    const char* networks;
    const char* client;
    bool allowed;
  } cases[] = {
      {"127.0.0.1/32", "127.0.0.1", true},
      {"127.0.0.1/32", "127.0.0.2", false},
      {"127.0.0.1", "127.0.0.2", false},
      {"127.0.0.0/8", "127.255.0.9", true},
      {"10.0.0.0/8, 192.168.1.0/24", "192.168.1.77", true},
      {"10.0.0.0/8 192.168.1.0/24", "192.168.2.1", false},
      {"172.16.0.0/12", "172.31.255.255", true},
      {"172.16.0.0/12", "172.32.0.0", false},
      {"0.0.0.0/0", "8.8.8.8", true},
      {"::1/128", "::1", true},
      {"::1/128", "127.0.0.1", false},
      {"127.0.0.1/32", "::ffff:127.0.0.1", true},
      {"fd00::/8", "fd12::1", true},
      {"fd00::/8", "fe80::1", false},
      {"", "127.0.0.1", false},
  };
  for (const Case& c : cases) {
    AddressFilter filter;
    std::string error;
    ASSERT_TRUE(filter.Add(c.networks, &error)) << c.networks << ": " << error;
    sockaddr_storage client = Address(c.client);
    EXPECT_EQ(filter.Allows(reinterpret_cast<sockaddr*>(&client)), c.allowed)
        << c.networks << " / " << c.client;
  }
}

TEST(AddressFilterTest, NamesWhatIsNotANetwork) {
  for (const char* bad : {"127.0.0.1/33", "::1/129", "localhost", "10.0.0.0/", "1.2.3.4/x",
                          "10.0.0.0/8;", "1.2.3.4/0008"}) {
    AddressFilter filter;
    std::string error;
    EXPECT_FALSE(filter.Add(bad, &error)) << bad;
    EXPECT_NE(error.find("is not a network"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace velmora
