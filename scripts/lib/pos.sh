# A POS station's hand-off from bash: writes the request into the settings
# store, runs the desk and reads the answer. Source scripts/lib/zel.sh first.
#   pos_hand_off DESK BILL AMOUNT TYPE CARD [TXNID]
# Prints "CheckNoAuth=..." and "TxnAmtAuth=..." (both empty when the operator
# cancelled) and, when the running desk was in the middle of another
# transaction, "Busy=1". Returns
#   0  the desk answered (confirmed or cancelled)
#   1  the desk failed (it crashed, could not start, or the running desk it
#      passed the request to ended without answering): one line on standard
#      error says why, and the request is withdrawn so no later start opens on it
#   3  the running desk was busy with another transaction; nothing was posted
pos_request_keys=(CheckNo TxnAmt TxnType CustNo TxnID)
pos_answer_keys=(CheckNoAuth TxnAmtAuth Busy)

pos_hand_off() {
    local desk=$1 status=0 key why
    ini_edit "$ZEL_INI" TOLVA CheckNo "$2"
    ini_edit "$ZEL_INI" TOLVA TxnAmt "$3"
    ini_edit "$ZEL_INI" TOLVA TxnType "$4"
    ini_edit "$ZEL_INI" TOLVA CustNo "$5"
    if [ -n "${6:-}" ]; then
        ini_edit "$ZEL_INI" TOLVA TxnID "$6"
    else
        ini_edit "$ZEL_INI" TOLVA TxnID
    fi
    for key in "${pos_answer_keys[@]}"; do
        ini_edit "$ZEL_INI" TOLVA "$key"
    done

    "$desk" || status=$?

    if [ "$status" -ne 0 ]; then
        if [ "$status" -gt 128 ]; then
            why="the desk was killed by signal SIG$(kill -l $((status - 128)) 2>/dev/null || echo $((status - 128)))"
        else
            why="the desk ended with exit status $status"
        fi
        # A request the desk did not answer must not open the next start.
        for key in "${pos_request_keys[@]}"; do
            ini_edit "$ZEL_INI" TOLVA "$key"
        done
        echo "pos-request: $why; no answer (the request was withdrawn; ask again with the same request to learn whether it was posted)" >&2
        return 1
    fi

    echo "CheckNoAuth=$(ini_get "$ZEL_INI" TOLVA CheckNoAuth)"
    echo "TxnAmtAuth=$(ini_get "$ZEL_INI" TOLVA TxnAmtAuth)"
    if [ -n "$(ini_get "$ZEL_INI" TOLVA Busy)" ]; then
        echo "Busy=$(ini_get "$ZEL_INI" TOLVA Busy)"
        echo "pos-request: the running desk is in the middle of another transaction; nothing was posted" >&2
        return 3
    fi
    return 0
}
