#!/bin/sh
# Writes news.kvl, the example link file (see README.md for its bytes):
# server 192.168.1.2, port 1600, selection 0 so the stream name "news" applies,
# option word 0x0080 (the link carries no control panel).
cd "$(dirname "$0")"
{
  printf 'K\001\000\000'                                   # 0: magic "K", 3 bytes not read
  printf '\300\250\001\002'                                # 4: address 192.168.1.2
  printf '\006\100'                                        # 8: port 1600, big-endian
  printf '\000\000'                                        # 10: not read
  printf '\000\000'                                        # 12: selection 0
  printf '\000\200'                                        # 14: option word 0x0080
  printf '\000\000\000\000\000\000\000\000\000'            # 16: 18 bytes not read
  printf '\000\000\000\000\000\000\000\000\000'
  printf 'news\000'                                        # 34: stream name
} > news.kvl
