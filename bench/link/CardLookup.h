#pragma once

// The desk's card query for card number n ("C00042"), as the link benchmarks
// send it: the same text every till sends, only the card number differs.
#include <cstdio>
#include <string>

inline std::string cardLookupRequest(int n) {
    char card[16];
    std::snprintf(card, sizeof card, "C%05d", n);
    return std::string("ZELQSELECT00 Select CustName , Tel1 , Zip , BillAddr1 , "
                       "BillAddr2 , FmComID , TBonusAmt From Cust  Where CustNo = '") +
           card + "'\x03";
}
