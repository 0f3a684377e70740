// Numeric operands, the four operations and the twelve comparisons.
#pragma once
#include <stdint.h>

enum RelOp : int { REL_LT, REL_LE, REL_NE, REL_EQ, REL_GT, REL_GE };

// Number literal or numeric variable at the script position.
bool read_num_operand(int32_t* out);
// Reads a literal at p (digit, or "-" digit) as the language does; on success
// returns true and moves p. The error is one of MSG_NUMBER_RANGE,
// MSG_FRACTIONAL (the literal is still read), or MSG_NONE when no literal is there.
bool parse_literal(const char** p, int32_t* out, int* error);
// op is one of + - * /. Sets the error slot only (no position) on failure.
bool arithmetic(char op, int32_t left, int32_t right, int32_t* out);
// Reads a comparison operator at the script position ("Syntax error." otherwise).
bool read_relop(int* op);
int compare_numbers(int op, int32_t left, int32_t right);
// The platform's order of two texts (lstrcmpA on Windows, host/text_order.cpp).
int collate_texts(const char* left, const char* right);
int compare_texts(int op, const char* left, const char* right);
