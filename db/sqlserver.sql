-- Schema of the member-card desk for SQL Server.

CREATE TABLE CUST (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    CustNo NVARCHAR(30) NOT NULL,
    CustName NVARCHAR(60),
    Tel1 NVARCHAR(30),
    Zip NVARCHAR(10),
    BillAddr1 NVARCHAR(100),
    BillAddr2 NVARCHAR(100),
    FmComID NVARCHAR(20),
    TBonusAmt DECIMAL(18,4) NOT NULL DEFAULT 0,
    IsuDate DATETIME,
    CustSName NVARCHAR(100),
    CustSex NVARCHAR(100),
    IDNo NVARCHAR(100),
    Tel2 NVARCHAR(100),
    Mobile NVARCHAR(100),
    Fax NVARCHAR(100),
    BNo NVARCHAR(100),
    Contact NVARCHAR(100),
    Dept NVARCHAR(100),
    Title NVARCHAR(100),
    Principal NVARCHAR(100),
    OldCustNO NVARCHAR(100),
    BankID NVARCHAR(100),
    BankName NVARCHAR(100),
    CSales NVARCHAR(100),
    Payee NVARCHAR(100),
    PayType NVARCHAR(100),
    PayTermCode NVARCHAR(100),
    InvType NVARCHAR(100),
    PayAddr1 NVARCHAR(100),
    PayAddr2 NVARCHAR(100),
    InvAddr1 NVARCHAR(100),
    InvAddr2 NVARCHAR(100),
    EMail NVARCHAR(100),
    WWW NVARCHAR(100),
    CustMark NVARCHAR(100),
    Remark1 NVARCHAR(100),
    Remark2 NVARCHAR(100),
    Remark NVARCHAR(100),
    BirthDate DATETIME,
    FirstDate DATETIME,
    GoodThru DATETIME,
    LastDate DATETIME,
    PointValidDate DATETIME,
    BonusAmtValidDate DATETIME,
    ReIsuDate DATETIME,
    PayDate DATETIME,
    TotalAmt DECIMAL(18,4),
    Point DECIMAL(18,4),
    TPoint DECIMAL(18,4),
    BonusAmt DECIMAL(18,4),
    CreditAmt DECIMAL(18,4),
    RecvAmt DECIMAL(18,4),
    PreAmt DECIMAL(18,4),
    DiscRate DECIMAL(18,4),
    UserID NVARCHAR(20),
    UpdUserID NVARCHAR(20),
    FileDate DATETIME,
    UpdDate DATETIME,
    CONSTRAINT UQ_CUST_CustNo UNIQUE (CustNo),
    CONSTRAINT CK_CUST_TBonusAmt CHECK (TBonusAmt >= 0)
);

CREATE TABLE VCardLog (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    TxnDept NVARCHAR(20),
    TxnType NVARCHAR(2),
    CardNo NVARCHAR(30),
    TxnDate DATETIME,
    TxnAmt DECIMAL(18,4),
    TxnPoint DECIMAL(18,4) DEFAULT 0,
    RefCheckNo NVARCHAR(30),
    POSID NVARCHAR(10),
    UserID NVARCHAR(20),
    Remark NVARCHAR(100),
    FileDate DATETIME,
    PostKey NVARCHAR(100),
    AuthCode NVARCHAR(20)
);

CREATE INDEX IX_VCardLog_TxnDate ON VCardLog (TxnDate);
-- The summary report reads the log in store and bill order.
CREATE INDEX IX_VCardLog_Dept ON VCardLog (TxnDept, RefCheckNo);

-- One row per posting key: a keyed posting or a query by key happens once.
CREATE TABLE PostKey (
    PostKey NVARCHAR(100) NOT NULL PRIMARY KEY,
    Outcome NCHAR(1) NOT NULL,
    CardNo NVARCHAR(30),
    TxnType NVARCHAR(2),
    TxnAmt DECIMAL(18,4),
    AuthCode NVARCHAR(20),
    FileDate DATETIME
);

-- The desk's posting journal: each posting from before its first request
-- until its outcome is known, and offline postings until they are settled.
CREATE TABLE PostJournal (
    PostKey NVARCHAR(100) NOT NULL PRIMARY KEY,
    State NCHAR(1) NOT NULL,
    TxnType NVARCHAR(2),
    CardNo NVARCHAR(30),
    TxnAmt DECIMAL(18,4),
    TxnDept NVARCHAR(20),
    RefCheckNo NVARCHAR(30),
    POSID NVARCHAR(10),
    UserID NVARCHAR(20),
    TxnDate DATETIME,
    AuthCode NVARCHAR(20),
    HandOff NCHAR(1),
    AnswerAmt NVARCHAR(20),
    Note NVARCHAR(100),
    ReqCheckNo NVARCHAR(100),
    ReqType NVARCHAR(2),
    ReqAmt NVARCHAR(40),
    ReqCustNo NVARCHAR(100),
    TxnID NVARCHAR(64),
    FileDate DATETIME,
    UpdDate DATETIME
);

CREATE INDEX IX_PostJournal_State ON PostJournal (State);
CREATE INDEX IX_PostJournal_Bill ON PostJournal (POSID, RefCheckNo);

CREATE TABLE xxCODE (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    CodeType NVARCHAR(20),
    Code NVARCHAR(20),
    Dscp NVARCHAR(60),
    ProgCode NVARCHAR(20),
    DscpE NVARCHAR(60),
    Remark NVARCHAR(100),
    FileDate DATETIME,
    UpdDate DATETIME
);

CREATE INDEX IX_xxCODE_Type ON xxCODE (CodeType, Code);

CREATE TABLE xxPARAM (
    ParamID NVARCHAR(50) NOT NULL PRIMARY KEY,
    ParamValue NVARCHAR(255),
    FileDate DATETIME,
    UpdDate DATETIME
);

CREATE TABLE xxNO (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    NoCode NVARCHAR(20) NOT NULL,
    NoBy NVARCHAR(20) NOT NULL,
    NoNext INT NOT NULL,
    FileDate DATETIME,
    UpdDate DATETIME,
    CONSTRAINT UQ_xxNO UNIQUE (NoCode, NoBy)
);

CREATE TABLE Msg (
    MsgID NVARCHAR(50) NOT NULL PRIMARY KEY,
    MsgText NVARCHAR(255)
);

CREATE TABLE OCHECK (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    CheckNo NVARCHAR(30) NOT NULL,
    StoreID NVARCHAR(20),
    BillTime NVARCHAR(20),
    CheckAmt DECIMAL(18,4),
    Service DECIMAL(18,4),
    OrderAmt DECIMAL(18,4),
    Tax DECIMAL(18,4),
    Discount DECIMAL(18,4),
    OPDate DATETIME,
    FileDate DATETIME
);

CREATE INDEX IX_OCHECK_CheckNo ON OCHECK (CheckNo);

CREATE TABLE ORDERH (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    OrderPID NVARCHAR(20) NOT NULL,
    AreaNo NVARCHAR(10),
    CheckNo NVARCHAR(30),
    CustTotal INT,
    OPDate DATETIME,
    OrderDate DATETIME,
    TblName NVARCHAR(30),
    TblNo NVARCHAR(10),
    TblSeq INT,
    UserID NVARCHAR(20),
    FileDate DATETIME
);

CREATE TABLE ORDERI (
    RNo INT IDENTITY(1,1) PRIMARY KEY,
    OrderPID NVARCHAR(20) NOT NULL,
    OrderTime NVARCHAR(20),
    ListNo INT,
    CheckNo NVARCHAR(30),
    ItemName NVARCHAR(60),
    ItemType NVARCHAR(10),
    PriceCap NVARCHAR(20),
    Remark NVARCHAR(100),
    Qty DECIMAL(18,4),
    Amt DECIMAL(18,4),
    KPort NVARCHAR(10),
    OPDate DATETIME,
    FileDate DATETIME
);

CREATE VIEW viewORDERI AS
SELECT I.CheckNo, I.OrderPID, I.OrderTime, I.ListNo, I.ItemName, I.ItemType, I.PriceCap, I.Remark,
       I.Qty, I.Amt, I.KPort, H.CustTotal
FROM ORDERI I LEFT JOIN ORDERH H ON H.OrderPID = I.OrderPID AND H.CheckNo = I.CheckNo;

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetOrderH', N'找不到未結帳的點菜單頭資料(桌號: %%1)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetOrderI', N'找不到此批點菜明細資料(桌號: %%1, 時間: %%2)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('ErrorGetNoMDB', N'無法取得流水號(%%1)');

INSERT INTO Msg (MsgID, MsgText) VALUES ('PrintSlip..', N'列印中, 請稍候...');

INSERT INTO Msg (MsgID, MsgText) VALUES ('PrintSlipOK', N'列印完成');
