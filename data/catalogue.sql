-- The equipment catalogue: one SQLite file shared by every host on the
-- machine or network share. Applied once, in one transaction, to a new file;
-- the rows come from seed/*.csv (see README.md).
--
-- Texts are UTF-8 in this file (the programs hold them as GBK in memory).
-- Flags are 0 or 1. Dates, where a column holds one, are ISO text
-- "YYYY-MM-DD HH:MM:SS".
--
-- IDs are AUTOINCREMENT so that an id is never handed out twice: drawings
-- keep the ids of the models they use, and a deleted model's id must not come
-- back as a different model.

CREATE TABLE Para_Transformer (
    ID           INTEGER PRIMARY KEY AUTOINCREMENT,
    Model        TEXT NOT NULL,          -- designation without the secondary voltage, "KBSGZY-800/10"
    Type         TEXT,                   -- "移动变电站" (mobile substation) or "动力变压器" (power transformer)
    Capacity     REAL,                   -- rated capacity, kVA
    HVoltage     REAL,                   -- primary rated voltage, V
    LVoltage     REAL,                   -- secondary rated voltage, V
    HCurrent     REAL,                   -- primary rated current, A
    LCurrent     REAL,                   -- secondary rated current, A
    EmptyLose    REAL,                   -- no-load loss, W
    ShortcutLose REAL,                   -- short-circuit (load) loss, W
    RXPercent    REAL,                   -- impedance voltage, %
    TransR       REAL,                   -- winding resistance referred to the secondary, ohm
    TransX       REAL,                   -- winding reactance referred to the secondary, ohm
    LinkGroup    TEXT                    -- connection group, "Y,y0" or "Y,d11"
);

CREATE TABLE Para_AutomaticSwitch (
    ID                INTEGER PRIMARY KEY AUTOINCREMENT,
    Model             TEXT NOT NULL,     -- "KBZ-400/1140(660)"
    Voltage           REAL,              -- network voltage of this row, V
    RCurrent          REAL,              -- rated current, A
    IsThemalProtect   BOOLEAN,           -- over-current relay protection
    ReleaseCurrent    TEXT,              -- trip current settings, A, as shown to the user
    MCurrent          REAL,              -- maximum trip current, A (relay units; 0 otherwise)
    IsElectricProtect BOOLEAN,           -- electronic protection
    LongMultiple      TEXT,              -- long-time setting multiples of the rated current
    ShortMultiple     TEXT,              -- instantaneous setting multiples of the rated current
    MSMulti           REAL               -- largest instantaneous multiple (electronic units; 0 otherwise)
);

CREATE TABLE Para_HighVoltageSwitch (
    ID                INTEGER PRIMARY KEY AUTOINCREMENT,
    Model             TEXT NOT NULL,     -- "PBG-200/6(10)"
    Voltage           REAL,              -- rated (network) voltage of this row, V
    RCurrent          REAL,              -- rated current, A
    Capacity          REAL,              -- breaking capacity, MVA
    CutCurrent        REAL,              -- rated breaking current, A
    MaxCurrent        REAL,              -- peak withstand current, A
    MaxVoltage        REAL,              -- highest working voltage, V
    SCurrent          REAL,              -- thermal stability current, A
    ValidCurrent      REAL,              -- r.m.s. withstand current, A
    IsThemalProtect   BOOLEAN,           -- electromagnetic (relay) protection
    IsElectricProtect BOOLEAN,           -- electronic protection
    LongMultiple      TEXT,              -- long-time setting current multiples
    ShortMultiple     TEXT               -- short-time setting current multiples
);

-- The stock record of a model: the thirteen stock texts of a device, keyed
-- by the model text (position 2).
CREATE TABLE Stock (
    Reserved1     TEXT,
    Model         TEXT NOT NULL PRIMARY KEY,
    DeviceNumber  TEXT,                  -- 设备编号
    DeviceName    TEXT,                  -- 设备品名
    Manufacturer  TEXT,                  -- 制造厂商
    FactoryNumber TEXT,                  -- 出厂编号
    FactoryDate   TEXT,                  -- 出厂日期
    FirstUseDate  TEXT,                  -- 始用日期
    Department    TEXT,                  -- 当前部门
    Place         TEXT,                  -- 当前地点
    Features      TEXT,                  -- 技术特征
    Certificate   TEXT,                  -- 安全证书
    Reserved13    TEXT
);

-- The voltage and capacity lists the dialogs append to their fixed items,
-- in the order they are offered.
CREATE TABLE ValueList (
    ListName TEXT NOT NULL CHECK (ListName IN ('HighVoltage', 'LowVoltage', 'FeederVoltage', 'Capacity')),
    Position INTEGER NOT NULL,
    Item     TEXT NOT NULL,
    PRIMARY KEY (ListName, Item),
    UNIQUE (ListName, Position)
);

-- Remembered choices shared by the dialogs ("StepChoice": 1 = choose the
-- overload setting by step).
CREATE TABLE Settings (
    Name  TEXT NOT NULL PRIMARY KEY,
    Value TEXT
);

-- Version 1 of this schema; the library refuses a catalogue of another version.
PRAGMA user_version = 1;
