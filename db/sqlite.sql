-- Schema of the member-card desk for SQLite (the embedded default).

CREATE TABLE CUST (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    CustNo TEXT NOT NULL,
    CustName TEXT,
    Tel1 TEXT,
    Zip TEXT,
    BillAddr1 TEXT,
    BillAddr2 TEXT,
    FmComID TEXT,
    TBonusAmt NUMERIC NOT NULL DEFAULT 0,
    IsuDate TEXT,
    CustSName TEXT,
    CustSex TEXT,
    IDNo TEXT,
    Tel2 TEXT,
    Mobile TEXT,
    Fax TEXT,
    BNo TEXT,
    Contact TEXT,
    Dept TEXT,
    Title TEXT,
    Principal TEXT,
    OldCustNO TEXT,
    BankID TEXT,
    BankName TEXT,
    CSales TEXT,
    Payee TEXT,
    PayType TEXT,
    PayTermCode TEXT,
    InvType TEXT,
    PayAddr1 TEXT,
    PayAddr2 TEXT,
    InvAddr1 TEXT,
    InvAddr2 TEXT,
    EMail TEXT,
    WWW TEXT,
    CustMark TEXT,
    Remark1 TEXT,
    Remark2 TEXT,
    Remark TEXT,
    BirthDate TEXT,
    FirstDate TEXT,
    GoodThru TEXT,
    LastDate TEXT,
    PointValidDate TEXT,
    BonusAmtValidDate TEXT,
    ReIsuDate TEXT,
    PayDate TEXT,
    TotalAmt NUMERIC,
    Point NUMERIC,
    TPoint NUMERIC,
    BonusAmt NUMERIC,
    CreditAmt NUMERIC,
    RecvAmt NUMERIC,
    PreAmt NUMERIC,
    DiscRate NUMERIC,
    UserID TEXT,
    UpdUserID TEXT,
    FileDate TEXT,
    UpdDate TEXT,
    CONSTRAINT UQ_CUST_CustNo UNIQUE (CustNo),
    CONSTRAINT CK_CUST_TBonusAmt CHECK (TBonusAmt >= 0)
);

CREATE TABLE VCardLog (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    TxnDept TEXT,
    TxnType TEXT,
    CardNo TEXT,
    TxnDate TEXT,
    TxnAmt NUMERIC,
    TxnPoint NUMERIC DEFAULT 0,
    RefCheckNo TEXT,
    POSID TEXT,
    UserID TEXT,
    Remark TEXT,
    FileDate TEXT,
    PostKey TEXT,
    AuthCode TEXT
);

CREATE INDEX IX_VCardLog_TxnDate ON VCardLog (TxnDate);
-- The summary report reads the log in store and bill order.
CREATE INDEX IX_VCardLog_Dept ON VCardLog (TxnDept, RefCheckNo);

-- One row per posting key: a keyed posting or a query by key happens once.
CREATE TABLE PostKey (
    PostKey TEXT NOT NULL PRIMARY KEY,
    Outcome TEXT NOT NULL,
    CardNo TEXT,
    TxnType TEXT,
    TxnAmt NUMERIC,
    AuthCode TEXT,
    FileDate TEXT
);

-- The desk's posting journal: each posting from before its first request
-- until its outcome is known, and offline postings until they are settled.
CREATE TABLE PostJournal (
    PostKey TEXT NOT NULL PRIMARY KEY,
    State TEXT NOT NULL,
    TxnType TEXT,
    CardNo TEXT,
    TxnAmt NUMERIC,
    TxnDept TEXT,
    RefCheckNo TEXT,
    POSID TEXT,
    UserID TEXT,
    TxnDate TEXT,
    AuthCode TEXT,
    HandOff TEXT,
    AnswerAmt TEXT,
    Note TEXT,
    ReqCheckNo TEXT,
    ReqType TEXT,
    ReqAmt TEXT,
    ReqCustNo TEXT,
    TxnID TEXT,
    FileDate TEXT,
    UpdDate TEXT
);

CREATE INDEX IX_PostJournal_State ON PostJournal (State);
CREATE INDEX IX_PostJournal_Bill ON PostJournal (POSID, RefCheckNo);

CREATE TABLE xxCODE (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    CodeType TEXT,
    Code TEXT,
    Dscp TEXT,
    ProgCode TEXT,
    DscpE TEXT,
    Remark TEXT,
    FileDate TEXT,
    UpdDate TEXT
);

CREATE INDEX IX_xxCODE_Type ON xxCODE (CodeType, Code);

CREATE TABLE xxPARAM (
    ParamID TEXT NOT NULL PRIMARY KEY,
    ParamValue TEXT,
    FileDate TEXT,
    UpdDate TEXT
);

CREATE TABLE xxNO (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    NoCode TEXT NOT NULL,
    NoBy TEXT NOT NULL,
    NoNext INTEGER NOT NULL,
    FileDate TEXT,
    UpdDate TEXT,
    CONSTRAINT UQ_xxNO UNIQUE (NoCode, NoBy)
);

CREATE TABLE Msg (
    MsgID TEXT NOT NULL PRIMARY KEY,
    MsgText TEXT
);

CREATE TABLE OCHECK (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    CheckNo TEXT NOT NULL,
    StoreID TEXT,
    BillTime TEXT,
    CheckAmt NUMERIC,
    Service NUMERIC,
    OrderAmt NUMERIC,
    Tax NUMERIC,
    Discount NUMERIC,
    OPDate TEXT,
    FileDate TEXT
);

CREATE INDEX IX_OCHECK_CheckNo ON OCHECK (CheckNo);

CREATE TABLE ORDERH (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    OrderPID TEXT NOT NULL,
    AreaNo TEXT,
    CheckNo TEXT,
    CustTotal INTEGER,
    OPDate TEXT,
    OrderDate TEXT,
    TblName TEXT,
    TblNo TEXT,
    TblSeq INTEGER,
    UserID TEXT,
    FileDate TEXT
);

CREATE TABLE ORDERI (
    RNo INTEGER PRIMARY KEY AUTOINCREMENT,
    OrderPID TEXT NOT NULL,
    OrderTime TEXT,
    ListNo INTEGER,
    CheckNo TEXT,
    ItemName TEXT,
    ItemType TEXT,
    PriceCap TEXT,
    Remark TEXT,
    Qty NUMERIC,
    Amt NUMERIC,
    KPort TEXT,
    OPDate TEXT,
    FileDate TEXT
);

CREATE VIEW viewORDERI AS
SELECT I.CheckNo, I.OrderPID, I.OrderTime, I.ListNo, I.ItemName, I.ItemType, I.PriceCap, I.Remark,
       I.Qty, I.Amt, I.KPort, H.CustTotal
FROM ORDERI I LEFT JOIN ORDERH H ON H.OrderPID = I.OrderPID AND H.CheckNo = I.CheckNo;

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetOrderH', '找不到未結帳的點菜單頭資料(桌號: %%1)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetOrderI', '找不到此批點菜明細資料(桌號: %%1, 時間: %%2)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetNoMDB', '無法取得流水號(%%1)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('PrintSlip..', '列印中, 請稍候...');

INSERT INTO Msg (MsgID, MsgText) VALUES ('PrintSlipOK', '列印完成');
