#include "equipment/OtherDevices.h"

// No catalogue table of ours holds these kinds: nothing is read or written.

BOOL CElectricMotor::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CElectricMotor::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CMagneticSwitch::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CMagneticSwitch::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CColligateProtect::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CColligateProtect::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CCombineSwitch::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CCombineSwitch::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CJiakongLine::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CJiakongLine::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSmallUpgradeWinch::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSmallUpgradeWinch::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CUpgradeWinch::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CUpgradeWinch::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CWireRope::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CWireRope::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CPump::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CPump::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CElectricLocomotive::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CElectricLocomotive::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CTramcar::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CTramcar::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CFannerCurve::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CFannerCurve::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CPullWheel::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CPullWheel::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CRetarder::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CRetarder::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CEletromotor::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CEletromotor::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CAirCompressor::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CAirCompressor::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CCage::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CCage::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSingleCage::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSingleCage::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CMultiCage::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CMultiCage::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSkipBucket::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSkipBucket::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSingleSkipBucket::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSingleSkipBucket::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CMultiSkipBucket::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CMultiSkipBucket::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSlantingSkipBucket::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSlantingSkipBucket::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CElevator::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CElevator::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CSingleRopeElevator::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CSingleRopeElevator::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }

BOOL CMultiRopeElevator::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CMultiRopeElevator::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }
