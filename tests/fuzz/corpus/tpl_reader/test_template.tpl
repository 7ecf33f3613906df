DIC: Test dictionary
DEF: OnOff
VAL: Off, 00
VAL: On, 01
DEF: Speeds
NUM: 0..1,$20,0.25,V
STR_99: Test reader, TEST.HLP, Line one\Line two, ignored
PAG: General #100
HDR: Beeper #0
ENT: Beep,1B4241=On,01 #0
DEF: OnOff
ENT: Volume,1B4256=Low,00 @Beep=On
VAL: Low, 00
VAL: High, 01 ?Really loud
HDR: Timing #110
ENT: Delay,1B5444=0V,20 #111
DEF: Speeds
ENT: ~Range,1B5252=$10,10
HEX: 10..1F
HDR: Extra
ENT: Turbo,1B5442=Off,00 @Beep=Off
DEF: OnOff
HDR: Empty
PAG: Codes ; second page
HDR: Prefix
ENT: Prefix[1],1B5031=A,41
CHR: 20..7E
ENT: WidthLSB,1B574C=$00,00
HEX:
STR_1: Basic reader, BASIC.HLP, Basic
PAG: Basic page
ENT: Only,1B4F4E=x,00
