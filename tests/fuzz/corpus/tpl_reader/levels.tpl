STR_99: Ninety
PAG: A
ENT: E,1B4141=a,00
STR_1: One,H.HLP,Info
PAG: B
ENT: F,1B4242=b,01
DEF: nothing
