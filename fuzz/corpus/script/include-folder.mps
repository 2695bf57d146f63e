say bef include
include .
