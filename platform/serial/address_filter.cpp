#include "platform/serial/address_filter.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace velmora {

bool AddressFilter::Parse(std::string_view text, Network* network) {
  std::string address(text);
  std::string length;
  size_t slash = address.find('/');
  if (slash != std::string::npos) {
    length = address.substr(slash + 1);
    address.resize(slash);
  }
  if (::inet_pton(AF_INET, address.c_str(), network->bytes.data()) == 1) {
    network->v6 = false;
    network->length = 32;
  } else if (::inet_pton(AF_INET6, address.c_str(), network->bytes.data()) == 1) {
    network->v6 = true;
    network->length = 128;
  } else {
    return false;
  }
  if (slash != std::string::npos) {
    if (length.empty() || length.size() > 3 ||
        length.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    unsigned value = static_cast<unsigned>(std::stoul(length));
    if (value > network->length) {
      return false;
    }
    network->length = value;
  }
  return true;
}

bool AddressFilter::Add(std::string_view text, std::string* error) {
  size_t at = 0;
  while (at < text.size()) {
    size_t start = text.find_first_not_of(", \t\r\n", at);
    if (start == std::string_view::npos) {
      break;
    }
    size_t end = text.find_first_of(", \t\r\n", start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view item = text.substr(start, end - start);
    Network network;
    if (!Parse(item, &network)) {
      *error = "\"" + std::string(item) + "\" is not a network";
      return false;
    }
    networks_.push_back(network);
    at = end;
  }
  return true;
}

namespace {

bool Matches(const uint8_t* a, const uint8_t* b, unsigned length) {
  unsigned whole = length / 8;
  if (std::memcmp(a, b, whole) != 0) {
    return false;
  }
  unsigned rest = length % 8;
  if (rest == 0) {
    return true;
  }
  uint8_t mask = static_cast<uint8_t>(0xFF << (8 - rest));
  return (a[whole] & mask) == (b[whole] & mask);
}

}  // namespace

bool AddressFilter::Allows(const sockaddr* address) const {
  uint8_t bytes[16] = {};
  bool v6 = false;
  if (address->sa_family == AF_INET) {
    std::memcpy(bytes, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
  } else if (address->sa_family == AF_INET6) {
    const in6_addr& six = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&six)) {
      std::memcpy(bytes, six.s6_addr + 12, 4);
    } else {
      std::memcpy(bytes, six.s6_addr, 16);
      v6 = true;
    }
  } else {
    return false;
  }
  for (const Network& network : networks_) {
    if (network.v6 == v6 && Matches(bytes, network.bytes.data(), network.length)) {
      return true;
    }
  }
  return false;
}

std::string ShowAddress(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address->sa_family == AF_INET) {
    const auto* four = reinterpret_cast<const sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &four->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(four->sin_port));
  }
  if (address->sa_family == AF_INET6) {
    const auto* six = reinterpret_cast<const sockaddr_in6*>(address);
    ::inet_ntop(AF_INET6, &six->sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(six->sin6_port));
  }
  return "?";
}

}  // namespace velmora
