/* #: 1 */ 

p
0 10 5 1 1 1
/* #: 2 */ blue red 
/* #: 2 */ low high 


/* #: 4 */

a -1 0 10 5 1 1 1

/* #: 2 */ 
low 0 10 blue  point_list -1
/* #: 3 */ 0 0 0 1 10 0 
/* #: 0 */ 
high 0 10 red  point_list -1
/* #: 3 */ 0 0 10 1 10 0 
/* #: 0 */ 

b -1 0 10 5 1 1 1

/* #: 2 */ 
low 0 10 blue  point_list -1
/* #: 3 */ 0 0 0 1 10 0 
/* #: 0 */ 
high 0 10 red  point_list -1
/* #: 3 */ 0 0 10 1 10 0 
/* #: 0 */ 

c -1 0 10 5 1 1 1

/* #: 2 */ 
low 0 10 blue  point_list -1
/* #: 3 */ 0 0 0 1 10 0 
/* #: 0 */ 
high 0 10 red  point_list -1
/* #: 3 */ 0 0 10 1 10 0 
/* #: 0 */ 

d -1 0 10 5 1 1 1

/* #: 2 */ 
low 0 10 blue  point_list -1
/* #: 3 */ 0 0 0 1 10 0 
/* #: 0 */ 
high 0 10 red  point_list -1
/* #: 3 */ 0 0 10 1 10 0 
/* #: 0 */ 



minimum minimum maximum minimum minimum minimum cog 1 10

RULESET
/* #: 2 */
/* #: 2 */
IF /* #: 2 */ a IS low AND b IS high THEN c IS high WITH CERTAINTY 1.
IF /* #: 2 */ a IS high AND b IS low THEN c IS low WITH CERTAINTY 1.
/* #: 2 */
IF /* #: 2 */ a IS low OR a IS high THEN d IS high WITH CERTAINTY 1.
IF /* #: 1 */ a IS high THEN d IS low WITH CERTAINTY 1.
