// Who may connect to a network endpoint: a list of networks written as
// CIDR ("127.0.0.1/32", "10.0.0.0/8", "::1/128"; an address without a
// length is that one address). An IPv4 client reaching an IPv6 socket as
// ::ffff:a.b.c.d counts as a.b.c.d.
#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class AddressFilter {
 public:
  // Adds each network of text (separated by commas, blanks or line
  // breaks). False and *error naming the first that is not a network; the
  // ones before stay.
  bool Add(std::string_view text, std::string* error);
  bool Allows(const sockaddr* address) const;
  bool empty() const { return networks_.empty(); }
  size_t size() const { return networks_.size(); }

 private:
  struct Network {
    bool v6 = false;
    std::array<uint8_t, 16> bytes{};
    unsigned length = 0;
  };
  static bool Parse(std::string_view text, Network* network);
  std::vector<Network> networks_;
};

// "127.0.0.1:4001" or "[::1]:4001".
std::string ShowAddress(const sockaddr* address);

}  // namespace velmora
