#pragma once
// The promotions' configuration, all in one place: the four projects' registration addresses and
// the contact number at the end of the details window's statement line. The hosts are reserved
// example domains and the referral codes made up, so nothing real is promoted. Portable.

#include <array>
#include <string_view>

namespace kestrin::promotion_config {

// Complete web addresses of projects 1 to 4, each a fixed text:
//   1  path "/i.aspx",   query key "c" with a referral code
//   2  path "/",         a bare referral token as the query
//   3  path "/com.asp",  query key "u" with a referral number
//   4  path "/",         query key "r" with a referral number
inline constexpr std::array<std::string_view, 4> kRegistrationAddresses = {
    "http://www.example.com/i.aspx?c=KX7Q2M",
    "http://www.example.net/?kx48210",
    "http://www.example.org/com.asp?u=506172",
    "http://promo.example.com/?r=318594",
};

// The author's QQ contact number, written after "QQ:" in the statement line.
inline constexpr char kContactNumber[] = "123456789";

}  // namespace kestrin::promotion_config
