-- Schema of the member-card desk for PostgreSQL.

CREATE TABLE CUST (
    RNo BIGSERIAL PRIMARY KEY,
    CustNo VARCHAR(30) NOT NULL,
    CustName VARCHAR(60),
    Tel1 VARCHAR(30),
    Zip VARCHAR(10),
    BillAddr1 VARCHAR(100),
    BillAddr2 VARCHAR(100),
    FmComID VARCHAR(20),
    TBonusAmt NUMERIC(18,4) NOT NULL DEFAULT 0,
    IsuDate TIMESTAMP(0),
    CustSName VARCHAR(100),
    CustSex VARCHAR(100),
    IDNo VARCHAR(100),
    Tel2 VARCHAR(100),
    Mobile VARCHAR(100),
    Fax VARCHAR(100),
    BNo VARCHAR(100),
    Contact VARCHAR(100),
    Dept VARCHAR(100),
    Title VARCHAR(100),
    Principal VARCHAR(100),
    OldCustNO VARCHAR(100),
    BankID VARCHAR(100),
    BankName VARCHAR(100),
    CSales VARCHAR(100),
    Payee VARCHAR(100),
    PayType VARCHAR(100),
    PayTermCode VARCHAR(100),
    InvType VARCHAR(100),
    PayAddr1 VARCHAR(100),
    PayAddr2 VARCHAR(100),
    InvAddr1 VARCHAR(100),
    InvAddr2 VARCHAR(100),
    EMail VARCHAR(100),
    WWW VARCHAR(100),
    CustMark VARCHAR(100),
    Remark1 VARCHAR(100),
    Remark2 VARCHAR(100),
    Remark VARCHAR(100),
    BirthDate TIMESTAMP(0),
    FirstDate TIMESTAMP(0),
    GoodThru TIMESTAMP(0),
    LastDate TIMESTAMP(0),
    PointValidDate TIMESTAMP(0),
    BonusAmtValidDate TIMESTAMP(0),
    ReIsuDate TIMESTAMP(0),
    PayDate TIMESTAMP(0),
    TotalAmt NUMERIC(18,4),
    Point NUMERIC(18,4),
    TPoint NUMERIC(18,4),
    BonusAmt NUMERIC(18,4),
    CreditAmt NUMERIC(18,4),
    RecvAmt NUMERIC(18,4),
    PreAmt NUMERIC(18,4),
    DiscRate NUMERIC(18,4),
    UserID VARCHAR(20),
    UpdUserID VARCHAR(20),
    FileDate TIMESTAMP(0),
    UpdDate TIMESTAMP(0),
    CONSTRAINT UQ_CUST_CustNo UNIQUE (CustNo),
    CONSTRAINT CK_CUST_TBonusAmt CHECK (TBonusAmt >= 0)
);

CREATE TABLE VCardLog (
    RNo BIGSERIAL PRIMARY KEY,
    TxnDept VARCHAR(20),
    TxnType VARCHAR(2),
    CardNo VARCHAR(30),
    TxnDate TIMESTAMP(0),
    TxnAmt NUMERIC(18,4),
    TxnPoint NUMERIC(18,4) DEFAULT 0,
    RefCheckNo VARCHAR(30),
    POSID VARCHAR(10),
    UserID VARCHAR(20),
    Remark VARCHAR(100),
    FileDate TIMESTAMP(0),
    PostKey VARCHAR(100),
    AuthCode VARCHAR(20)
);

CREATE INDEX IX_VCardLog_TxnDate ON VCardLog (TxnDate);
-- The summary report reads the log in store and bill order.
CREATE INDEX IX_VCardLog_Dept ON VCardLog (TxnDept, RefCheckNo);

-- One row per posting key: a keyed posting or a query by key happens once.
CREATE TABLE PostKey (
    PostKey VARCHAR(100) NOT NULL PRIMARY KEY,
    Outcome CHAR(1) NOT NULL,
    CardNo VARCHAR(30),
    TxnType VARCHAR(2),
    TxnAmt NUMERIC(18,4),
    AuthCode VARCHAR(20),
    FileDate TIMESTAMP(0)
);

-- The desk's posting journal: each posting from before its first request
-- until its outcome is known, and offline postings until they are settled.
CREATE TABLE PostJournal (
    PostKey VARCHAR(100) NOT NULL PRIMARY KEY,
    State CHAR(1) NOT NULL,
    TxnType VARCHAR(2),
    CardNo VARCHAR(30),
    TxnAmt NUMERIC(18,4),
    TxnDept VARCHAR(20),
    RefCheckNo VARCHAR(30),
    POSID VARCHAR(10),
    UserID VARCHAR(20),
    TxnDate TIMESTAMP(0),
    AuthCode VARCHAR(20),
    HandOff CHAR(1),
    AnswerAmt VARCHAR(20),
    Note VARCHAR(100),
    ReqCheckNo VARCHAR(100),
    ReqType VARCHAR(2),
    ReqAmt VARCHAR(40),
    ReqCustNo VARCHAR(100),
    TxnID VARCHAR(64),
    FileDate TIMESTAMP(0),
    UpdDate TIMESTAMP(0)
);

CREATE INDEX IX_PostJournal_State ON PostJournal (State);
CREATE INDEX IX_PostJournal_Bill ON PostJournal (POSID, RefCheckNo);

CREATE TABLE xxCODE (
    RNo BIGSERIAL PRIMARY KEY,
    CodeType VARCHAR(20),
    Code VARCHAR(20),
    Dscp VARCHAR(60),
    ProgCode VARCHAR(20),
    DscpE VARCHAR(60),
    Remark VARCHAR(100),
    FileDate TIMESTAMP(0),
    UpdDate TIMESTAMP(0)
);

CREATE INDEX IX_xxCODE_Type ON xxCODE (CodeType, Code);

CREATE TABLE xxPARAM (
    ParamID VARCHAR(50) NOT NULL PRIMARY KEY,
    ParamValue VARCHAR(255),
    FileDate TIMESTAMP(0),
    UpdDate TIMESTAMP(0)
);

CREATE TABLE xxNO (
    RNo BIGSERIAL PRIMARY KEY,
    NoCode VARCHAR(20) NOT NULL,
    NoBy VARCHAR(20) NOT NULL,
    NoNext INTEGER NOT NULL,
    FileDate TIMESTAMP(0),
    UpdDate TIMESTAMP(0),
    CONSTRAINT UQ_xxNO UNIQUE (NoCode, NoBy)
);

CREATE TABLE Msg (
    MsgID VARCHAR(50) NOT NULL PRIMARY KEY,
    MsgText VARCHAR(255)
);

CREATE TABLE OCHECK (
    RNo BIGSERIAL PRIMARY KEY,
    CheckNo VARCHAR(30) NOT NULL,
    StoreID VARCHAR(20),
    BillTime VARCHAR(20),
    CheckAmt NUMERIC(18,4),
    Service NUMERIC(18,4),
    OrderAmt NUMERIC(18,4),
    Tax NUMERIC(18,4),
    Discount NUMERIC(18,4),
    OPDate TIMESTAMP(0),
    FileDate TIMESTAMP(0)
);

CREATE INDEX IX_OCHECK_CheckNo ON OCHECK (CheckNo);

CREATE TABLE ORDERH (
    RNo BIGSERIAL PRIMARY KEY,
    OrderPID VARCHAR(20) NOT NULL,
    AreaNo VARCHAR(10),
    CheckNo VARCHAR(30),
    CustTotal INTEGER,
    OPDate TIMESTAMP(0),
    OrderDate TIMESTAMP(0),
    TblName VARCHAR(30),
    TblNo VARCHAR(10),
    TblSeq INTEGER,
    UserID VARCHAR(20),
    FileDate TIMESTAMP(0)
);

CREATE TABLE ORDERI (
    RNo BIGSERIAL PRIMARY KEY,
    OrderPID VARCHAR(20) NOT NULL,
    OrderTime VARCHAR(20),
    ListNo INTEGER,
    CheckNo VARCHAR(30),
    ItemName VARCHAR(60),
    ItemType VARCHAR(10),
    PriceCap VARCHAR(20),
    Remark VARCHAR(100),
    Qty NUMERIC(18,4),
    Amt NUMERIC(18,4),
    KPort VARCHAR(10),
    OPDate TIMESTAMP(0),
    FileDate TIMESTAMP(0)
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
