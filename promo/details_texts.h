#pragma once
// The texts of the details window's pages: the statement line (the same on every page) and the four
// projects' ten-line descriptions, each line ended by CR LF and the whole by one more CR LF. All are
// fixed texts with static storage. Portable.

#include <array>
#include <string_view>

#include "promo/fixed_text.h"
#include "promo/promotion_config.h"

namespace kestrin::details_texts {

inline constexpr auto kStatementText = JoinLiterals(
    "声明：作者推荐的四个项目都是作者亲自测试并有收款的。大家可以加我好友，对您进行全程指导。", "QQ:",
    promotion_config::kContactNumber);

inline constexpr std::array<std::string_view, 4> kPageTitles = {"项目一详情", "项目二详情", "项目三详情",
                                                                "项目四详情"};

// Lines 2, 3 and 5 are the project's own; the others are shared.
template <std::size_t N2, std::size_t N3, std::size_t N5>
consteval auto Description(const char (&line2)[N2], const char (&line3)[N3], const char (&line5)[N5]) {
  return JoinLiterals("    项目介绍：\r\n",                                     // 1
                      line2, "\r\n",                                        // 2
                      line3, "\r\n",                                        // 3
                      "    兑换问题：\r\n",                                     // 4
                      line5, "\r\n",                                        // 5
                      "    其他问题：\r\n",                                     // 6
                      "1.此项目真实可靠并能赚钱吗？\r\n",                          // 7
                      "答：此项目绝对真实可靠，但不保证赚大钱，能赚个零花钱。\r\n",         // 8
                      "2.具体操作方法？\r\n",                                    // 9
                      "答：您注册一个帐号去试试看。\r\n",                              // 10
                      "\r\n");
}

inline constexpr auto kDescription1 =
    Description("1.此项目主要是玩游戏和体验广告为主，竞猜游戏为辅。",
                "2.玩游戏和体验广告可以获得一定的积分，积分用于兑换QB或者话费或者手机充值卡密或者各种实物的兑换。",
                "1.虚拟商品一到两天即可到货，实物商品一到七天可以到货。");
inline constexpr auto kDescription2 =
    Description("1.此项目主要是打码和体验广告为主，挂机为辅。", "2.打码和体验广告可以获得一定的金币，金币用于兑换支付宝余额。",
                "1.2000金币是1元RMB，打码快的人一小时可以打8000金币左右。");
inline constexpr auto kDescription3 =
    Description("1.此项目主要是打码和体验广告为主，玩游戏为辅。", "2.打码和体验广告可以获得一定的趣币，趣币用于兑换支付宝余额。",
                "1.1000趣币是1元RMB，一般头一天兑换，第二天就能收到款。");
inline constexpr auto kDescription4 =  // line 2 has no closing full stop
    Description("1.此项目主要是淘宝小号挂机赚钱", "2.淘宝小号挂机可以获得一定的金币，金币用于兑换支付宝余额。",
                "1.10000金币是3元RMB，大概10个淘宝小号就可以挂机一天获得10000金币。");

}  // namespace kestrin::details_texts
